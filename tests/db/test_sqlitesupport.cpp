// The record access layer on real database files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "db/sqlitesupport.h"
#include "support/testenv.h"

namespace {

class DbTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = Utf8Path(home.path() + "/t.db");
        ASSERT_EQ(S_OK, CreateSQLiteConnection(&conn));
        ASSERT_EQ(S_OK, conn->Open(path.c_str()));
    }
    static std::wstring Utf8Path(const std::string& p) { return std::wstring(p.begin(), p.end()); }

    ScopedTestHome home;
    std::wstring path;
    CXDBPtr<IXDBConnection> conn;
};

int KindOf(IXDBRecordset* rs, int i) { return static_cast<CXDBSQLiteRecordset*>(rs)->GetFieldKind(i); }

} // namespace

TEST_F(DbTest, OpenRefusesASecondDatabaseAndKeepsTheFirst) {
    EXPECT_EQ(E_FAIL, conn->Open(path.c_str()));
    EXPECT_EQ(E_FAIL, conn->Open(L""));
    EXPECT_TRUE(conn->IsOpen());
    EXPECT_EQ(S_OK, conn->Execute(L"create table a(x INTEGER)"));
    EXPECT_TRUE(conn->IsTableExist(L"a"));
    EXPECT_FALSE(conn->IsTableExist(L"b"));
    EXPECT_EQ(1, conn->GetDBType());

    void* p = nullptr;
    EXPECT_EQ(S_OK, conn->QueryInterface(IID_IXDBConnection, &p));
    static_cast<IXDBConnection*>(p)->Release();
    EXPECT_EQ(E_NOINTERFACE, conn->QueryInterface(IID_IXDBRecordset, &p));
    EXPECT_EQ(E_POINTER, conn->QueryInterface(IID_IUnknown, nullptr));
}

TEST_F(DbTest, TableNamesWithQuotesAreLookedUpNotInjected) {
    ASSERT_EQ(S_OK, conn->Execute(L"create table \"it's\"(x INTEGER)"));
    EXPECT_TRUE(conn->IsTableExist(L"it's"));
    EXPECT_FALSE(conn->IsTableExist(L"x' or '1'='1"));
}

TEST_F(DbTest, FieldKindsComeFromTheFirstRowAndTheDeclaredType) {
    ASSERT_EQ(S_OK, conn->Execute(L"create table k(i INT64, r REAL, v VARCHAR(20), n NVARCHAR(256), d DATETIME, "
                                  L"o FOO, g GUID, b BLOB, z INTEGER)"));
    ASSERT_EQ(S_OK, conn->Execute(L"insert into k values(5000000000, 1.5, 'v', 'n', '2024-02-29 13:14:15.678', "
                                  L"'o', x'00112233445566778899AABBCCDDEEFF', x'0102', NULL)"));
    ASSERT_EQ(S_OK, conn->Execute(L"insert into k values(7, 2.5, 'v2', 'n2', '2024-03-01 00:00:00', 'o', "
                                  L"x'00', x'03', 4)"));
    CXDBPtr<IXDBRecordset> rs;
    ASSERT_EQ(S_OK, conn->Execute(L"select i, r, v, n, d, o, g, b, z, datetime('2020-01-02 03:04:05'), 'x' from k", &rs));
    const int want[] = {XDB_FIELD_INTEGER, XDB_FIELD_REAL, XDB_FIELD_TEXT, XDB_FIELD_TEXT, XDB_FIELD_DATETIME,
                        XDB_FIELD_NONE, XDB_FIELD_GUID, XDB_FIELD_BLOB, XDB_FIELD_NONE, XDB_FIELD_DATETIME,
                        XDB_FIELD_TEXT};
    ASSERT_EQ(11, rs->GetFieldCount());
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(want[i], KindOf(rs.Get(), i)) << "column " << i;

    XVARIANT v;
    // An integer too wide for 32 bits comes back whole rather than cut.
    ASSERT_EQ(S_OK, rs->GetFieldValue(0, &v));
    EXPECT_EQ(VT_I8, v.vt);
    EXPECT_EQ(5000000000LL, v.llVal);
    ASSERT_EQ(S_OK, rs->GetFieldValue(4, &v));
    ASSERT_EQ(VT_DATE, v.vt);
    int y, mo, d, h, mi, s;
    ASSERT_TRUE(VariantDateToFields(v.date, y, mo, d, h, mi, s));
    EXPECT_EQ(2024, y); EXPECT_EQ(2, mo); EXPECT_EQ(29, d); EXPECT_EQ(13, h); EXPECT_EQ(14, mi); EXPECT_EQ(15, s);
    ASSERT_EQ(S_OK, rs->GetFieldValue(6, &v));
    EXPECT_EQ(L"{33221100-5544-7766-8899-AABBCCDDEEFF}", v.bstrVal);
    EXPECT_EQ(E_FAIL, rs->GetFieldValue(8, &v)); // NULL in the first row: no kind for any row
    EXPECT_EQ(E_FAIL, rs->GetFieldValue(11, &v));
    ASSERT_EQ(S_OK, rs->GetFieldValueByName(L"V", &v));
    EXPECT_EQ(L"v", v.bstrVal);
    EXPECT_EQ(E_FAIL, rs->GetFieldValueByName(L"missing", &v));

    ASSERT_EQ(S_OK, rs->MoveNext());
    ASSERT_EQ(S_OK, rs->GetFieldValue(0, &v));
    EXPECT_EQ(VT_I4, v.vt);
    EXPECT_EQ(7, v.lVal);
    // A GUID column holding fewer than 16 bytes is refused instead of read past its end.
    EXPECT_EQ(E_FAIL, rs->GetFieldValue(6, &v));
    EXPECT_EQ(E_FAIL, rs->MoveNext());
}

TEST_F(DbTest, EmptyQueryHasNoRowAndNoKinds) {
    ASSERT_EQ(S_OK, conn->Execute(L"create table e(a INTEGER, b TEXT)"));
    CXDBPtr<IXDBRecordset> rs;
    ASSERT_EQ(S_OK, conn->Execute(L"select a, b from e", &rs));
    EXPECT_EQ(E_FAIL, rs->MoveNext());
    XVARIANT v;
    EXPECT_EQ(E_FAIL, rs->GetFieldValue(0, &v));
    EXPECT_EQ(E_FAIL, conn->Execute(L"select nope from e", &rs));
    EXPECT_FALSE(rs);
}

TEST_F(DbTest, InserterBindsEveryValueAndReusesItsStatement) {
    ASSERT_EQ(S_OK, conn->Execute(L"create table t(id INTEGER primary key, name CHAR(20), big INT64, f REAL, "
                                  L"raw BLOB, d DATETIME)"));
    CXDBPtr<IXDBRecordsetAdd> add;
    ASSERT_EQ(S_OK, conn->CreateRecordsetAdd(L"t", &add));
    const std::wstring tricky = L"O'Brien\"); drop table t; -- 旅行";
    EXPECT_EQ(S_OK, add->SetFieldValue(L"name", XVARIANT::FromText(tricky)));
    EXPECT_EQ(S_OK, add->SetFieldValue(L"big", XVARIANT::FromI8(-5000000000LL)));
    EXPECT_EQ(S_OK, add->SetFieldValue(L"f", XVARIANT::FromR8(0.25)));
    EXPECT_EQ(S_OK, add->SetFieldValue(L"raw", XVARIANT::FromBytes({0, 1, 0, 255})));
    DATE date;
    ASSERT_TRUE(SystemTimeToVariantDate(2031, 12, 31, 23, 59, 58, date));
    EXPECT_EQ(S_OK, add->SetFieldValue(L"d", XVARIANT::FromDate(date)));
    EXPECT_EQ(E_FAIL, add->SetFieldValue(L"", XVARIANT::FromI4(1)));
    ASSERT_EQ(S_OK, add->Update());
    // The second row only changes one value; the others stay bound.
    ASSERT_EQ(S_OK, add->SetFieldValue(L"NAME", XVARIANT::FromText(L"second")));
    EXPECT_EQ(E_FAIL, add->SetFieldValue(L"unknown", XVARIANT::FromI4(1)));
    ASSERT_EQ(S_OK, add->EndAdd());

    CXDBPtr<IXDBRecordset> rs;
    ASSERT_EQ(S_OK, conn->Execute(L"select name, big, f, raw, d from t order by id", &rs));
    XVARIANT v;
    ASSERT_EQ(S_OK, rs->GetFieldValue(0, &v));
    EXPECT_EQ(tricky, v.bstrVal);
    ASSERT_EQ(S_OK, rs->GetFieldValue(1, &v));
    EXPECT_EQ(-5000000000LL, v.llVal);
    ASSERT_EQ(S_OK, rs->GetFieldValue(3, &v));
    EXPECT_EQ((std::vector<uint8_t>{0, 1, 0, 255}), v.arrayVal);
    ASSERT_EQ(S_OK, rs->GetFieldValue(4, &v));
    EXPECT_DOUBLE_EQ(date, v.date);
    ASSERT_EQ(S_OK, rs->MoveNext());
    ASSERT_EQ(S_OK, rs->GetFieldValue(0, &v));
    EXPECT_EQ(L"second", v.bstrVal);
    ASSERT_EQ(S_OK, rs->GetFieldValue(2, &v));
    EXPECT_DOUBLE_EQ(0.25, v.dblVal);

    // A value of a type that cannot be bound writes no row.
    CXDBPtr<IXDBRecordsetAdd> add2;
    ASSERT_EQ(S_OK, conn->CreateRecordsetAdd(L"t", &add2));
    XVARIANT empty;
    add2->SetFieldValue(L"name", empty);
    EXPECT_EQ(E_FAIL, add2->EndAdd());
}

TEST_F(DbTest, ClosingUnderALiveRecordsetLeavesItHarmless) {
    ASSERT_EQ(S_OK, conn->Execute(L"create table c(a INTEGER); insert into c values(1); insert into c values(2);"));
    CXDBPtr<IXDBRecordset> rs;
    ASSERT_EQ(S_OK, conn->Execute(L"select a from c", &rs));
    CXDBPtr<IXDBRecordsetAdd> add;
    ASSERT_EQ(S_OK, conn->CreateRecordsetAdd(L"c", &add));
    add->SetFieldValue(L"a", XVARIANT::FromI4(3));
    ASSERT_EQ(S_OK, add->Update());
    EXPECT_EQ(S_OK, conn->Close());
    EXPECT_FALSE(conn->IsOpen());
    XVARIANT v;
    EXPECT_EQ(E_FAIL, rs->MoveNext());
    EXPECT_EQ(E_FAIL, rs->GetFieldValue(0, &v));
    EXPECT_EQ(E_FAIL, add->Update());
    EXPECT_EQ(E_FAIL, conn->Execute(L"select 1"));
    EXPECT_EQ(-1, conn->BeginTrans());
    // The connection object outlives its last holder's release while children remain.
    conn.Reset();
    EXPECT_EQ(E_FAIL, rs->MoveFirst());
}

TEST_F(DbTest, TransactionsAndBoundStatements) {
    ASSERT_EQ(S_OK, conn->Execute(L"create table tr(a INTEGER, s TEXT)"));
    ASSERT_EQ(S_OK, conn->BeginTrans());
    ASSERT_EQ(S_OK, conn->ExecuteBound(L"insert into tr values(?, ?)", {XVARIANT::FromI4(1), XVARIANT::FromText(L"a'b")}));
    ASSERT_EQ(S_OK, conn->RollbackTrans());
    ASSERT_EQ(S_OK, conn->ExecuteBound(L"insert into tr values(?, ?)", {XVARIANT::FromI4(2), XVARIANT::FromText(L"c'd")}));
    CXDBPtr<IXDBRecordset> rs;
    ASSERT_EQ(S_OK, conn->ExecuteBound(L"select a, s from tr where s = ?", {XVARIANT::FromText(L"c'd")}, &rs));
    XVARIANT v;
    ASSERT_EQ(S_OK, rs->GetFieldValue(0, &v));
    EXPECT_EQ(2, v.lVal);
    EXPECT_EQ(E_FAIL, rs->MoveNext());
    EXPECT_EQ(E_FAIL, conn->CommitTrans()); // nothing to commit
}

TEST_F(DbTest, CorruptedFileOpensButEveryStatementFails) {
    std::string bad = home.path() + "/bad.db";
    WriteFileBytes(bad, std::string(4096, 'x'));
    CXDBPtr<IXDBConnection> c2;
    ASSERT_EQ(S_OK, CreateSQLiteConnection(&c2));
    ASSERT_EQ(S_OK, c2->Open(Utf8Path(bad).c_str()));
    EXPECT_FALSE(c2->IsTableExist(L"t"));
    EXPECT_EQ(E_FAIL, c2->Execute(L"create table t(a INTEGER)"));
}

TEST(DbDates, AutomationDateArithmetic) {
    DATE d;
    ASSERT_TRUE(SystemTimeToVariantDate(1899, 12, 30, 0, 0, 0, d));
    EXPECT_DOUBLE_EQ(0.0, d);
    ASSERT_TRUE(SystemTimeToVariantDate(1900, 1, 1, 12, 0, 0, d));
    EXPECT_DOUBLE_EQ(2.5, d);
    EXPECT_FALSE(SystemTimeToVariantDate(2023, 2, 29, 0, 0, 0, d));
    int y, mo, da, h, mi, s;
    ASSERT_TRUE(VariantDateToFields(-1.25, y, mo, da, h, mi, s)); // 1899-12-29 06:00
    EXPECT_EQ(1899, y); EXPECT_EQ(29, da); EXPECT_EQ(6, h);
}
