// Replaces one entry of this executable's import table while alive. The
// library's objects are linked into the executable, so its Windows calls go
// through that table and can be watched there.
#pragma once

#include <windows.h>

#include <cstring>
#include <stdexcept>
#include <string>

class ImportPatch {
 public:
  ImportPatch(const char* function, void* replacement) : slot_(FindSlot(function)), original_(*slot_) {
    Write(replacement);
  }
  ~ImportPatch() { Write(original_); }
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

  template <typename Function>
  Function original() const {
    return reinterpret_cast<Function>(original_);
  }

 private:
  static void** FindSlot(const char* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); module->Name; ++module) {
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
      auto* slots = reinterpret_cast<void**>(base + module->FirstThunk);
      for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        auto* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (std::strcmp(name->Name, function) == 0) return slots;
      }
    }
    throw std::runtime_error(std::string("not imported: ") + function);
  }

  void Write(void* value) {
    DWORD old = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
    *slot_ = value;
    VirtualProtect(slot_, sizeof *slot_, old, &old);
  }

  void** slot_;
  void* original_;
};
