#pragma once
// Record access over SQLite 3, shaped as reference-counted component interfaces: a
// connection, a forward-only recordset and a row inserter. SQL and names are wide text;
// values travel as XVARIANT. Nothing throws: every operation answers an HRESULT.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "db/xvariant.h"
#include "platform/wintypes.h"

struct sqlite3;
struct sqlite3_stmt;

#ifndef S_OK
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
#endif

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

typedef GUID IID;
typedef const IID& REFIID;
bool IsEqualIID(REFIID a, REFIID b);

extern const IID IID_IUnknown;        // {00000000-0000-0000-C000-000000000046}
extern const IID IID_IXDBConnection;  // {F5EE2307-6841-4973-869F-B29242F76825}
extern const IID IID_IXDBRecordset;   // {97560C71-4CE9-4A7C-9A57-8E555F8E433A}
extern const IID IID_IXDBRecordsetAdd; // {F96CA966-28BC-479F-B6F1-38538613A4EF}

// Kinds a recordset column takes from its first row (see CXDBSQLiteRecordset).
enum XDBFieldKind {
    XDB_FIELD_NONE = 0,
    XDB_FIELD_INTEGER = 1,
    XDB_FIELD_REAL = 2,
    XDB_FIELD_TEXT = 3,
    XDB_FIELD_BLOB = 4,
    XDB_FIELD_DATETIME = 5,
    XDB_FIELD_GUID = 6,
};

class IXDBUnknown {
public:
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual long AddRef() = 0;
    virtual long Release() = 0;
protected:
    virtual ~IXDBUnknown() = default;
};

class IXDBRecordset : public IXDBUnknown {
public:
    virtual int GetFieldCount() = 0;
    virtual HRESULT GetFieldName(int index, std::wstring& name) = 0;
    virtual HRESULT MoveFirst() = 0;
    virtual HRESULT MoveNext() = 0;
    virtual HRESULT GetFieldValue(int index, XVARIANT* value, std::wstring* name = nullptr) = 0;
    virtual HRESULT GetFieldValueByName(const wchar_t* name, XVARIANT* value) = 0;
};

class IXDBRecordsetAdd : public IXDBUnknown {
public:
    virtual HRESULT Update() = 0;
    virtual HRESULT EndAdd() = 0;
    virtual HRESULT SetFieldValue(const wchar_t* name, const XVARIANT& value) = 0;
};

class IXDBConnection : public IXDBUnknown {
public:
    virtual int GetDBType() = 0;
    virtual HRESULT Open(const wchar_t* path) = 0;
    virtual HRESULT Close() = 0;
    virtual bool IsOpen() = 0;
    virtual bool IsTableExist(const wchar_t* name) = 0;
    virtual HRESULT Execute(const wchar_t* sql, IXDBRecordset** ppRecordset = nullptr) = 0;
    virtual HRESULT CreateRecordsetAdd(const wchar_t* table, IXDBRecordsetAdd** ppRecdset) = 0;
    virtual HRESULT BeginTrans() = 0;
    virtual HRESULT CommitTrans() = 0;
    virtual HRESULT RollbackTrans() = 0;
    // One statement with its values bound to the "?" placeholders in order, so that no value
    // ever becomes part of the SQL text. With an out recordset it behaves like Execute's
    // query form; without, the statement is run to completion.
    virtual HRESULT ExecuteBound(const wchar_t* sql, const std::vector<XVARIANT>& params,
                                 IXDBRecordset** ppRecordset = nullptr) = 0;
    // The rowid of the last row an insert on this connection wrote; 0 before the first.
    virtual int64_t GetLastInsertRowId() = 0;
};

// A closed connection holding one reference for the caller.
HRESULT CreateSQLiteConnection(IXDBConnection** ppConn);

// Holds one reference and gives it back when it goes out of scope.
template <class T>
class CXDBPtr {
public:
    CXDBPtr() = default;
    ~CXDBPtr() { Reset(); }
    CXDBPtr(const CXDBPtr&) = delete;
    CXDBPtr& operator=(const CXDBPtr&) = delete;
    T** operator&() { Reset(); return &m_p; }
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void Reset() { if (m_p) { m_p->Release(); m_p = nullptr; } }
private:
    T* m_p = nullptr;
};

// ---- implementations ----------------------------------------------------------------------

class CXDBSQLiteConnection;

// Statement owners register with their connection so that closing it can take their
// statements away safely instead of leaving them pointing at a closed database.
class CXDBStatementOwner {
public:
    virtual void DetachStatement() = 0;
protected:
    virtual ~CXDBStatementOwner() = default;
};

class CXDBSQLiteConnection : public IXDBConnection {
public:
    CXDBSQLiteConnection();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    long AddRef() override;
    long Release() override;
    int GetDBType() override { return 1; }
    HRESULT Open(const wchar_t* path) override;
    HRESULT Close() override;
    bool IsOpen() override { return m_db != nullptr; }
    bool IsTableExist(const wchar_t* name) override;
    HRESULT Execute(const wchar_t* sql, IXDBRecordset** ppRecordset = nullptr) override;
    HRESULT CreateRecordsetAdd(const wchar_t* table, IXDBRecordsetAdd** ppRecdset) override;
    HRESULT BeginTrans() override;
    HRESULT CommitTrans() override;
    HRESULT RollbackTrans() override;
    HRESULT ExecuteBound(const wchar_t* sql, const std::vector<XVARIANT>& params,
                         IXDBRecordset** ppRecordset = nullptr) override;
    int64_t GetLastInsertRowId() override;

    void Register(CXDBStatementOwner* owner);
    void Unregister(CXDBStatementOwner* owner);
    sqlite3* Handle() const { return m_db; }

protected:
    ~CXDBSQLiteConnection() override;

private:
    HRESULT RunSimple(const char* sql);

    std::atomic<long> m_nRef{1};
    sqlite3* m_db = nullptr;
    std::mutex m_ownersLock;
    std::set<CXDBStatementOwner*> m_owners;
};

struct SXDBFieldInfo {
    std::wstring name;
    int kind = XDB_FIELD_NONE;
    int index = 0;
};

class CXDBSQLiteRecordset : public IXDBRecordset, public CXDBStatementOwner {
public:
    // Takes over `stmt`; stands on the first row afterwards (when there is one).
    CXDBSQLiteRecordset(CXDBSQLiteConnection* conn, sqlite3_stmt* stmt);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    long AddRef() override;
    long Release() override;
    int GetFieldCount() override;
    HRESULT GetFieldName(int index, std::wstring& name) override;
    HRESULT MoveFirst() override;
    HRESULT MoveNext() override;
    HRESULT GetFieldValue(int index, XVARIANT* value, std::wstring* name = nullptr) override;
    HRESULT GetFieldValueByName(const wchar_t* name, XVARIANT* value) override;
    void DetachStatement() override;

    int GetFieldKind(int index) const;

protected:
    ~CXDBSQLiteRecordset() override;

private:
    std::atomic<long> m_nRef{1};
    CXDBSQLiteConnection* m_pConn;
    std::vector<SXDBFieldInfo> m_fields;
    std::vector<SXDBFieldInfo> m_sortedFields;
    sqlite3_stmt* m_stmt;
};

class CXDBSQLiteRecordsetAdd : public IXDBRecordsetAdd, public CXDBStatementOwner {
public:
    CXDBSQLiteRecordsetAdd(CXDBSQLiteConnection* conn, const std::string& tableUtf8);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    long AddRef() override;
    long Release() override;
    HRESULT Update() override;
    HRESULT EndAdd() override;
    HRESULT SetFieldValue(const wchar_t* name, const XVARIANT& value) override;
    void DetachStatement() override;

protected:
    ~CXDBSQLiteRecordsetAdd() override;

private:
    struct SFieldPos {
        std::wstring name;
        int pos;
    };
    HRESULT WriteRow();

    std::atomic<long> m_nRef{1};
    CXDBSQLiteConnection* m_pConn;
    std::string m_strTable;
    sqlite3_stmt* m_stmt = nullptr;
    std::vector<SFieldPos> m_aFiledInfo;
    std::vector<XVARIANT> m_lValStore;
};

// Binds one value at a 1-based position; false (with SQLite's message on the debugger
// output) for a type that cannot be bound.
bool XDBBindVariant(sqlite3_stmt* stmt, int pos, const XVARIANT& value);
