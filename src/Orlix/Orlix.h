// Orlix: the agent's logging library, as Pelorin.dll imports it.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#ifdef ORLIX_BUILDING
#define ORLIX_API __declspec(dllexport)
#else
#define ORLIX_API __declspec(dllimport)
#endif

// Appends one record to the log. Never fails from the caller's point of
// view: it returns 0 whatever happened to the record.
ORLIX_API int Orlix_PrintMessage(const wchar_t* sourcePath, const wchar_t* function, int line, int level,
                                 const wchar_t* message);

// Where the records go: %ORLIX_LOG_FILE%, else
// %ProgramData%\Tervia\Logs\Orlix.log. Returns the path's length in
// characters; the path and a terminator are copied only when `capacity`
// exceeds it. `buffer` may be null when `capacity` is 0.
ORLIX_API int Orlix_GetLogPath(wchar_t* buffer, int capacity);

#ifdef __cplusplus
}
#endif
