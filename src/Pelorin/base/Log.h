// The log slot: where every operation sends its progress and failure
// messages. Empty until the host calls PelorinInitialize.
#pragma once

#include <string>

namespace pelorin {

using LogFunction = void (*)(const wchar_t* message);

// Sets the slot; the DLL installs its sink here, tests their recorder.
void SetLogFunction(LogFunction function) noexcept;
bool IsLogSet() noexcept;

// One call per message. Dropped silently while the slot is empty: a host
// that forgot PelorinInitialize must not lose its process over a message.
void Log(const wchar_t* message) noexcept;
inline void Log(const std::wstring& message) noexcept { Log(message.c_str()); }

}  // namespace pelorin
