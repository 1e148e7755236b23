#include "db/sqlitesupport.h"

#include <sqlite3.h>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <cwctype>

#include "common/sysutils.h"
#include "platform/sysinfo.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IXDBConnection = {0xF5EE2307, 0x6841, 0x4973, {0x86, 0x9F, 0xB2, 0x92, 0x42, 0xF7, 0x68, 0x25}};
const IID IID_IXDBRecordset = {0x97560C71, 0x4CE9, 0x4A7C, {0x9A, 0x57, 0x8E, 0x55, 0x5F, 0x8E, 0x43, 0x3A}};
const IID IID_IXDBRecordsetAdd = {0xF96CA966, 0x28BC, 0x479F, {0xB6, 0xF1, 0x38, 0x53, 0x86, 0x13, 0xA4, 0xEF}};

bool IsEqualIID(REFIID a, REFIID b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof(a.Data4)) == 0;
}

namespace {

void ReportSqliteError(sqlite3* db, const char* where) {
    std::wstring text = Utf8ToWide(where);
    text += L": ";
    text += db ? Utf8ToWide(sqlite3_errmsg(db)) : std::wstring(L"no database");
    text += L"\n";
    platform::OutputDebugString(text);
}

// ASCII letters fold as SQLite folds names, whatever the locale (a Turkish one would lower
// 'I' to a dotless i); the locale's folding is left for the rest.
wint_t FoldCase(wchar_t c) {
    if (c < 0x80)
        return c >= L'A' && c <= L'Z' ? static_cast<wint_t>(c - L'A' + L'a') : static_cast<wint_t>(c);
    return std::towlower(static_cast<wint_t>(c));
}

int CompareNoCase(const std::wstring& a, const std::wstring& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        wint_t ca = FoldCase(a[i]);
        wint_t cb = FoldCase(b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && CompareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

int KindOf(int storageClass, const char* declType, const std::wstring& name) {
    switch (storageClass) {
    case SQLITE_INTEGER:
        return XDB_FIELD_INTEGER;
    case SQLITE_FLOAT:
        return XDB_FIELD_REAL;
    case SQLITE_TEXT:
        if (!declType)
            return StartsWithNoCase(name, L"DATETIME(") ? XDB_FIELD_DATETIME : XDB_FIELD_TEXT;
        if (std::strstr(declType, "CHAR") || std::strstr(declType, "TEXT"))
            return XDB_FIELD_TEXT;
        if (sqlite3_stricmp(declType, "DATETIME") == 0)
            return XDB_FIELD_DATETIME;
        return XDB_FIELD_NONE;
    case SQLITE_BLOB:
        return declType && sqlite3_stricmp(declType, "GUID") == 0 ? XDB_FIELD_GUID : XDB_FIELD_BLOB;
    default:
        return XDB_FIELD_NONE;
    }
}

// Accepts "Y-M-D", "Y/M/D", optionally followed by "H:M" or "H:M:S".
bool ParseDateText(const std::string& text, DATE& out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char sep1 = 0, sep2 = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c%d%n", &y, &sep1, &mo, &sep2, &d, &consumed) != 5 || sep1 != sep2 ||
        (sep1 != '-' && sep1 != '/'))
        return false;
    std::string rest = text.substr(static_cast<size_t>(consumed));
    size_t first = rest.find_first_not_of(" T");
    if (first != std::string::npos) {
        rest = rest.substr(first);
        int n = std::sscanf(rest.c_str(), "%d:%d:%d", &h, &mi, &s);
        if (n < 2)
            return false;
    }
    return SystemTimeToVariantDate(y, mo, d, h, mi, s, out);
}

std::wstring GuidText(const unsigned char* b) {
    // The blob holds the GUID in its in-memory (little-endian) layout.
    uint32_t d1 = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    unsigned d2 = b[4] | (b[5] << 8);
    unsigned d3 = b[6] | (b[7] << 8);
    wchar_t buf[64];
    std::swprintf(buf, 64, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", d1, d2, d3, b[8], b[9], b[10],
                  b[11], b[12], b[13], b[14], b[15]);
    return buf;
}

} // namespace

bool XDBBindVariant(sqlite3_stmt* stmt, int pos, const XVARIANT& v) {
    int rc = SQLITE_MISUSE;
    switch (v.vt) {
    case VT_I2: rc = sqlite3_bind_int(stmt, pos, v.iVal); break;
    case VT_I4:
    case VT_INT: rc = sqlite3_bind_int(stmt, pos, v.lVal); break;
    case VT_BOOL: rc = sqlite3_bind_int(stmt, pos, v.boolVal); break;
    case VT_I1: rc = sqlite3_bind_int(stmt, pos, v.cVal); break;
    case VT_UI1: rc = sqlite3_bind_int(stmt, pos, v.bVal); break;
    case VT_UI2: rc = sqlite3_bind_int(stmt, pos, v.uiVal); break;
    // Win32 binds these through the signed 32-bit call as well, so values above 2^31 wrap.
    case VT_UI4:
    case VT_UINT: rc = sqlite3_bind_int(stmt, pos, static_cast<int>(v.ulVal)); break;
    case VT_I8: rc = sqlite3_bind_int64(stmt, pos, v.llVal); break;
    case VT_UI8: rc = sqlite3_bind_int64(stmt, pos, static_cast<sqlite3_int64>(v.ullVal)); break;
    case VT_R4: rc = sqlite3_bind_double(stmt, pos, v.fltVal); break;
    case VT_R8: rc = sqlite3_bind_double(stmt, pos, v.dblVal); break;
    case VT_BSTR: {
        // Text up to its terminator, as a wide string with an embedded NUL would be read.
        std::wstring upto(v.bstrVal.c_str());
        std::string utf8 = WideToUtf8(upto);
        rc = sqlite3_bind_text(stmt, pos, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        break;
    }
    case VT_DATE: {
        int y, mo, d, h, mi, s;
        if (VariantDateToFields(v.date, y, mo, d, h, mi, s)) {
            char buf[64];
            // Four-digit year: a two-digit one would read back in the wrong century.
            std::snprintf(buf, sizeof(buf), "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
            rc = sqlite3_bind_text(stmt, pos, buf, -1, SQLITE_TRANSIENT);
        }
        break;
    }
    case VT_ARRAY | VT_UI1:
    case VT_ARRAY | VT_I1:
        rc = sqlite3_bind_blob(stmt, pos, v.arrayVal.empty() ? "" : static_cast<const void*>(v.arrayVal.data()),
                               static_cast<int>(v.arrayVal.size()), SQLITE_TRANSIENT);
        break;
    default:
        break;
    }
    if (rc != SQLITE_OK) {
        ReportSqliteError(sqlite3_db_handle(stmt), "bind");
        return false;
    }
    return true;
}

// ---- connection ---------------------------------------------------------------------------

HRESULT CreateSQLiteConnection(IXDBConnection** ppConn) {
    if (!ppConn)
        return E_POINTER;
    *ppConn = new (std::nothrow) CXDBSQLiteConnection();
    return *ppConn ? S_OK : E_FAIL;
}

CXDBSQLiteConnection::CXDBSQLiteConnection() = default;

CXDBSQLiteConnection::~CXDBSQLiteConnection() { Close(); }

HRESULT CXDBSQLiteConnection::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IXDBConnection)) {
        *ppv = static_cast<IXDBConnection*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

long CXDBSQLiteConnection::AddRef() { return ++m_nRef; }

long CXDBSQLiteConnection::Release() {
    long nRet = --m_nRef;
    assert(nRet >= 0 && "nRet>=0");
    if (nRet == 0)
        delete this;
    return nRet;
}

HRESULT CXDBSQLiteConnection::Open(const wchar_t* path) {
    if (m_db || !path || !*path)
        return E_FAIL;
    std::string utf8 = WideToUtf8(path);
    sqlite3* db = nullptr;
    int rc = sqlite3_open(utf8.c_str(), &db);
    if (rc != SQLITE_OK) {
        ReportSqliteError(db, "sqlite3_open");
        sqlite3_close(db);
        return E_FAIL;
    }
    sqlite3_busy_timeout(db, 5000);
    m_db = db;
    return S_OK;
}

HRESULT CXDBSQLiteConnection::Close() {
    sqlite3* db = m_db;
    m_db = nullptr;
    if (!db)
        return S_OK;
    // Recordsets and inserters still alive lose their statements here rather than keep
    // pointers into a database that no longer exists.
    std::set<CXDBStatementOwner*> owners;
    {
        std::lock_guard<std::mutex> lock(m_ownersLock);
        owners.swap(m_owners);
    }
    for (CXDBStatementOwner* o : owners)
        o->DetachStatement();
    int rc = sqlite3_close(db);
    while (rc == SQLITE_BUSY) {
        sqlite3_stmt* stmt = sqlite3_next_stmt(db, nullptr);
        if (!stmt)
            break;
        sqlite3_finalize(stmt);
        rc = sqlite3_close(db);
    }
    return rc == SQLITE_OK ? S_OK : E_FAIL;
}

void CXDBSQLiteConnection::Register(CXDBStatementOwner* owner) {
    std::lock_guard<std::mutex> lock(m_ownersLock);
    m_owners.insert(owner);
}

void CXDBSQLiteConnection::Unregister(CXDBStatementOwner* owner) {
    std::lock_guard<std::mutex> lock(m_ownersLock);
    m_owners.erase(owner);
}

bool CXDBSQLiteConnection::IsTableExist(const wchar_t* name) {
    if (!m_db || !name)
        return false;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, "select count(*) from sqlite_master where type='table' and name=?", -1, &stmt,
                           nullptr) != SQLITE_OK) {
        ReportSqliteError(m_db, "IsTableExist");
        return false;
    }
    std::string utf8 = WideToUtf8(name);
    bool exists = false;
    if (sqlite3_bind_text(stmt, 1, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        exists = sqlite3_column_int(stmt, 0) > 0;
    else
        ReportSqliteError(m_db, "IsTableExist");
    sqlite3_finalize(stmt);
    return exists;
}

int64_t CXDBSQLiteConnection::GetLastInsertRowId() { return m_db ? sqlite3_last_insert_rowid(m_db) : 0; }

HRESULT CXDBSQLiteConnection::Execute(const wchar_t* sql, IXDBRecordset** ppRecordset) {
    return ppRecordset ? ExecuteBound(sql, {}, ppRecordset) : (sql ? RunSimple(WideToUtf8(sql).c_str()) : E_FAIL);
}

HRESULT CXDBSQLiteConnection::RunSimple(const char* sql) {
    if (!m_db)
        return E_FAIL;
    char* err = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        platform::OutputDebugString(L"sqlite3_exec: " + Utf8ToWide(err ? err : "") + L"\n");
        sqlite3_free(err);
        return E_FAIL;
    }
    (void)sqlite3_changes(m_db);
    return S_OK;
}

HRESULT CXDBSQLiteConnection::ExecuteBound(const wchar_t* sql, const std::vector<XVARIANT>& params,
                                           IXDBRecordset** ppRecordset) {
    if (!m_db || !sql)
        return E_FAIL;
    if (ppRecordset)
        *ppRecordset = nullptr;
    std::string utf8 = WideToUtf8(sql);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, utf8.c_str(), -1, &stmt, nullptr) != SQLITE_OK || !stmt) {
        ReportSqliteError(m_db, "prepare");
        sqlite3_finalize(stmt);
        return E_FAIL;
    }
    for (size_t i = 0; i < params.size(); ++i) {
        if (!XDBBindVariant(stmt, static_cast<int>(i + 1), params[i])) {
            sqlite3_finalize(stmt);
            return E_FAIL;
        }
    }
    if (ppRecordset) {
        auto* rs = new (std::nothrow) CXDBSQLiteRecordset(this, stmt);
        if (!rs) {
            sqlite3_finalize(stmt);
            return E_FAIL;
        }
        *ppRecordset = rs;
        return S_OK;
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        ReportSqliteError(m_db, "step");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CXDBSQLiteConnection::CreateRecordsetAdd(const wchar_t* table, IXDBRecordsetAdd** ppRecdset) {
    assert(ppRecdset && "ppRecdset");
    if (!m_db || !ppRecdset || !table)
        return E_FAIL;
    *ppRecdset = new (std::nothrow) CXDBSQLiteRecordsetAdd(this, WideToUtf8(table));
    return *ppRecdset ? S_OK : E_FAIL;
}

HRESULT CXDBSQLiteConnection::BeginTrans() {
    if (!m_db)
        return -1;
    return RunSimple("begin;");
}

HRESULT CXDBSQLiteConnection::CommitTrans() { return RunSimple("commit;"); }

HRESULT CXDBSQLiteConnection::RollbackTrans() { return RunSimple("rollback;"); }

// ---- recordset ----------------------------------------------------------------------------

CXDBSQLiteRecordset::CXDBSQLiteRecordset(CXDBSQLiteConnection* conn, sqlite3_stmt* stmt)
    : m_pConn(conn), m_stmt(stmt) {
    m_pConn->AddRef();
    m_pConn->Register(this);
    bool hasRow = MoveFirst() == S_OK;
    int count = sqlite3_column_count(m_stmt);
    for (int i = 0; i < count; ++i) {
        SXDBFieldInfo f;
        const char* n = sqlite3_column_name(m_stmt, i);
        f.name = Utf8ToWide(n ? n : "");
        f.index = i;
        f.kind = hasRow ? KindOf(sqlite3_column_type(m_stmt, i), sqlite3_column_decltype(m_stmt, i), f.name)
                        : XDB_FIELD_NONE;
        m_fields.push_back(f);
    }
    m_sortedFields = m_fields;
    std::stable_sort(m_sortedFields.begin(), m_sortedFields.end(),
                     [](const SXDBFieldInfo& a, const SXDBFieldInfo& b) { return CompareNoCase(a.name, b.name) < 0; });
}

CXDBSQLiteRecordset::~CXDBSQLiteRecordset() {
    m_pConn->Unregister(this);
    DetachStatement();
    m_pConn->Release();
}

void CXDBSQLiteRecordset::DetachStatement() {
    if (m_stmt)
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
}

HRESULT CXDBSQLiteRecordset::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IXDBRecordset)) {
        *ppv = static_cast<IXDBRecordset*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

long CXDBSQLiteRecordset::AddRef() { return ++m_nRef; }

long CXDBSQLiteRecordset::Release() {
    long nRet = --m_nRef;
    assert(nRet >= 0 && "nRet>=0");
    if (nRet == 0)
        delete this;
    return nRet;
}

int CXDBSQLiteRecordset::GetFieldCount() { return m_stmt ? static_cast<int>(m_fields.size()) : 0; }

int CXDBSQLiteRecordset::GetFieldKind(int index) const {
    return index >= 0 && index < static_cast<int>(m_fields.size()) ? m_fields[index].kind : XDB_FIELD_NONE;
}

HRESULT CXDBSQLiteRecordset::GetFieldName(int index, std::wstring& name) {
    if (index < 0 || index >= static_cast<int>(m_fields.size()))
        return E_FAIL;
    name = m_fields[index].name;
    return S_OK;
}

HRESULT CXDBSQLiteRecordset::MoveFirst() {
    if (!m_stmt)
        return E_FAIL;
    sqlite3_reset(m_stmt);
    return sqlite3_step(m_stmt) == SQLITE_ROW ? S_OK : E_FAIL;
}

HRESULT CXDBSQLiteRecordset::MoveNext() {
    if (!m_stmt)
        return E_FAIL;
    return sqlite3_step(m_stmt) == SQLITE_ROW ? S_OK : E_FAIL;
}

HRESULT CXDBSQLiteRecordset::GetFieldValue(int index, XVARIANT* value, std::wstring* name) {
    if (!m_stmt || !value || index < 0 || index >= static_cast<int>(m_fields.size()))
        return E_FAIL;
    const SXDBFieldInfo& f = m_fields[index];
    if (name)
        *name = f.name;
    XVARIANT v;
    switch (f.kind) {
    case XDB_FIELD_INTEGER: {
        // Values beyond 32 bits (event times in the far future, large ids) come back whole
        // as VT_I8 instead of losing their upper half.
        sqlite3_int64 i = sqlite3_column_int64(m_stmt, f.index);
        if (i >= INT32_MIN && i <= INT32_MAX) {
            v.vt = VT_I4;
            v.lVal = static_cast<int32_t>(i);
        } else {
            v.vt = VT_I8;
            v.llVal = i;
        }
        break;
    }
    case XDB_FIELD_REAL:
        v.vt = VT_R8;
        v.dblVal = sqlite3_column_double(m_stmt, f.index);
        break;
    case XDB_FIELD_TEXT: {
        const unsigned char* t = sqlite3_column_text(m_stmt, f.index);
        int n = sqlite3_column_bytes(m_stmt, f.index);
        v.vt = VT_BSTR;
        v.bstrVal = t ? Utf8ToWide(std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(n)))
                      : std::wstring();
        break;
    }
    case XDB_FIELD_BLOB: {
        const auto* b = static_cast<const uint8_t*>(sqlite3_column_blob(m_stmt, f.index));
        int n = sqlite3_column_bytes(m_stmt, f.index);
        v.vt = VT_ARRAY | VT_UI1;
        if (b && n > 0)
            v.arrayVal.assign(b, b + n);
        break;
    }
    case XDB_FIELD_DATETIME: {
        const unsigned char* t = sqlite3_column_text(m_stmt, f.index);
        std::string text = t ? reinterpret_cast<const char*>(t) : "";
        size_t dot = text.find('.');
        if (dot != std::string::npos)
            text.resize(dot);
        v.vt = VT_DATE;
        if (!ParseDateText(text, v.date))
            return E_FAIL;
        break;
    }
    case XDB_FIELD_GUID: {
        const auto* b = static_cast<const unsigned char*>(sqlite3_column_blob(m_stmt, f.index));
        // A short blob is not a GUID; reading 16 bytes of it would run past its end.
        if (!b || sqlite3_column_bytes(m_stmt, f.index) < 16)
            return E_FAIL;
        v.vt = VT_BSTR;
        v.bstrVal = GuidText(b);
        break;
    }
    default:
        return E_FAIL;
    }
    *value = std::move(v);
    return S_OK;
}

HRESULT CXDBSQLiteRecordset::GetFieldValueByName(const wchar_t* name, XVARIANT* value) {
    if (!m_stmt || !name)
        return E_FAIL;
    std::wstring key(name);
    size_t lo = 0, hi = m_sortedFields.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        int c = CompareNoCase(m_sortedFields[mid].name, key);
        if (c == 0)
            return GetFieldValue(m_sortedFields[mid].index, value);
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return E_FAIL;
}

// ---- inserter -----------------------------------------------------------------------------

CXDBSQLiteRecordsetAdd::CXDBSQLiteRecordsetAdd(CXDBSQLiteConnection* conn, const std::string& tableUtf8)
    : m_pConn(conn), m_strTable(tableUtf8) {
    m_pConn->AddRef();
    m_pConn->Register(this);
}

CXDBSQLiteRecordsetAdd::~CXDBSQLiteRecordsetAdd() {
    m_pConn->Unregister(this);
    DetachStatement();
    m_pConn->Release();
}

void CXDBSQLiteRecordsetAdd::DetachStatement() {
    if (m_stmt)
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
}

HRESULT CXDBSQLiteRecordsetAdd::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IXDBRecordsetAdd)) {
        *ppv = static_cast<IXDBRecordsetAdd*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

long CXDBSQLiteRecordsetAdd::AddRef() { return ++m_nRef; }

long CXDBSQLiteRecordsetAdd::Release() {
    long nRet = --m_nRef;
    assert(nRet >= 0 && "nRet>=0");
    if (nRet == 0)
        delete this;
    return nRet;
}

HRESULT CXDBSQLiteRecordsetAdd::SetFieldValue(const wchar_t* name, const XVARIANT& value) {
    if (!m_pConn->Handle() || !name || !*name)
        return E_FAIL;
    std::wstring key(name);
    if (!m_stmt) {
        for (size_t i = 0; i < m_aFiledInfo.size(); ++i) {
            if (CompareNoCase(m_aFiledInfo[i].name, key) == 0) {
                m_lValStore[i] = value;
                return S_OK;
            }
        }
        m_aFiledInfo.push_back({key, static_cast<int>(m_aFiledInfo.size()) + 1});
        m_lValStore.push_back(value);
        return S_OK;
    }
    auto it = std::lower_bound(m_aFiledInfo.begin(), m_aFiledInfo.end(), key,
                               [](const SFieldPos& f, const std::wstring& k) { return CompareNoCase(f.name, k) < 0; });
    if (it == m_aFiledInfo.end() || CompareNoCase(it->name, key) != 0)
        return E_FAIL;
    return XDBBindVariant(m_stmt, it->pos, value) ? S_OK : E_FAIL;
}

HRESULT CXDBSQLiteRecordsetAdd::WriteRow() {
    sqlite3* db = m_pConn->Handle();
    if (!db)
        return E_FAIL;
    if (!m_stmt && !m_aFiledInfo.empty()) {
        assert(m_aFiledInfo.size() == m_lValStore.size());
        std::wstring cols, marks;
        for (size_t i = 0; i < m_aFiledInfo.size(); ++i) {
            cols += (i ? L"," : L"") + m_aFiledInfo[i].name;
            marks += i ? L",?" : L"?";
        }
        std::string sql = "INSERT INTO " + m_strTable + " (" + WideToUtf8(cols) + ") VALUES(" + WideToUtf8(marks) + ");";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK) {
            ReportSqliteError(db, "prepare insert");
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            return E_FAIL;
        }
        for (size_t i = 0; i < m_aFiledInfo.size(); ++i) {
            if (!XDBBindVariant(m_stmt, m_aFiledInfo[i].pos, m_lValStore[i])) {
                // A row with an unbindable value must not be written half-filled.
                sqlite3_finalize(m_stmt);
                m_stmt = nullptr;
                return E_FAIL;
            }
        }
        m_lValStore.clear();
        std::sort(m_aFiledInfo.begin(), m_aFiledInfo.end(),
                  [](const SFieldPos& a, const SFieldPos& b) { return CompareNoCase(a.name, b.name) < 0; });
    }
    if (!m_stmt)
        return E_FAIL;
    int rc = sqlite3_step(m_stmt);
    if (rc != SQLITE_DONE) {
        ReportSqliteError(db, "insert");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CXDBSQLiteRecordsetAdd::Update() {
    HRESULT hr = WriteRow();
    if (m_stmt)
        sqlite3_reset(m_stmt);
    return hr;
}

HRESULT CXDBSQLiteRecordsetAdd::EndAdd() {
    HRESULT hr = WriteRow();
    DetachStatement();
    m_aFiledInfo.clear();
    m_lValStore.clear();
    return hr;
}
