#pragma once
// The process-wide diagnostic log. Every statement goes to the debugger output (standard
// error) when its level bit is enabled and, when "DbgLog.cfg" switches file logging on, to a
// rotating log file under the per-user local application-data folder + "/QDX/DbgLog".
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/wintypes.h"

// Mask of enabled level bits; a statement is emitted only when its bit is set here.
extern int g_iDebugLevel;
// When true statements also reach the log file, each with the line prefix.
extern bool g_bSaveLogFile;

constexpr int LOG_LEVEL_INFO = 0x4;  // tags L"提示" (information) and L"警告" (warning)
constexpr int LOG_LEVEL_ERROR = 0x10; // tag L"错误"

class CDebugLog {
public:
    explicit CDebugLog(const std::wstring& subDir);
    virtual ~CDebugLog();

    // Reads (and on first use creates) "DbgLog.cfg" beside the executable, prunes the log
    // folder by count and age and opens a log file. 0 on success; -1 when the log folder is
    // unavailable or no file is open afterwards (always so with file logging off).
    int Init();
    // The same with the configuration beside `programPath` instead of the running executable.
    int Init(const std::wstring& programPath);

    bool OpenLogFile(const std::wstring& folder, bool forceNew);
    void CloseLogFile();
    // Emits one finished piece of text: debugger output, then the file (switching to a new
    // file first when the current one has reached the size limit).
    void WriteLog(const std::wstring& text);
    // One whole statement: prefix (with file logging on), message and line feed, written as one
    // piece so that statements of different threads never interleave.
    void Statement(int level, const wchar_t* tag, const char* file, int line, const wchar_t* format, va_list args);
    void Log(int level, const wchar_t* tag, const char* file, int line, const wchar_t* format, ...);

    const std::wstring& GetLogFile() const { return m_strLogFile; }
    const std::wstring& GetLogDir() const { return m_strLogDir; }
    bool IsFileOpen() const { return m_bFileOpen; }

private:
    void PruneByCount(std::vector<std::wstring>& files);
    void PruneByAge(std::vector<std::wstring>& files);
    bool WriteLogFileLocked(const std::string& bytes);

    std::wstring m_strExeName;
    std::wstring m_strLogFile;
    FILE* m_pFile = nullptr;
    bool m_bFileOpen = false;
    std::wstring m_strLogDir;
    std::wstring m_strSubDir;
    int m_nMaxFileSize = 5242880;
    unsigned int m_nMaxFileNum = 50;
    int m_nMaxFileHour = 72;
    bool m_bSaveLogFile = false;
    std::mutex m_lock; // guards the stream: every write and the size switch
};

extern CDebugLog g_DebugLog;
// The result of the global log's Init during static initialisation; not acted on.
extern int g_nDebugLogInit;

// Local time as "YYYY-MM-DD hh:mm:ss", with ".mmm" when asked.
std::wstring GetTimeString(bool withMilliseconds);
// Files in `folder` whose names end in `ext` and do not begin with ".", as full paths in
// natural name order (digit runs compare by value, so tick 999 lists before tick 1000).
int EnumFilesByExt(const std::wstring& folder, const std::wstring& ext, std::vector<std::wstring>& files);
// Formats with FormatString and hands the text to the global log. Returns 1.
int DebugLogPrint(const wchar_t* format, ...);
void DebugLogStatement(int level, const wchar_t* tag, const char* file, int line, const wchar_t* format, ...);

// DEBUG_LOG(level bit, tag, format, arguments...): the logging statement of the program.
#define DEBUG_LOG(level, tag, format, ...) DebugLogStatement((level), (tag), __FILE__, __LINE__, (format), ##__VA_ARGS__)
