#pragma once

#include "host/HostObject.h"
#include "host/com/ComHandles.h"

#include <string>

namespace tagwright::host::com {

// Maps a ProgID to a class id in the registry for as long as it lives, and puts back what was
// there before. The per-user classes come first; where they are not read (Wine 8 looks only at
// the machine's), the machine's classes are used.
class ProgIdRegistration {
  public:
    ProgIdRegistration(std::u16string progId, const CLSID& clsid);
    ~ProgIdRegistration();
    ProgIdRegistration(const ProgIdRegistration&) = delete;
    ProgIdRegistration& operator=(const ProgIdRegistration&) = delete;

  private:
    struct Written {
        HKEY root = nullptr;
        bool createdProgId = false;
        bool hadValue = false;
        std::wstring previous;
    };
    bool write(HKEY root, Written& written);
    void undo(const Written& written);

    std::u16string progId_;
    std::wstring clsidText_;
    Written user_, machine_;
};

// Puts `application` into the running object table under `clsid` (and its ProgID in the
// registry), which is what an attaching client looks for; revoked when this ends.
class ActiveObjectRegistration {
  public:
    ActiveObjectRegistration(ObjectRef application, std::u16string progId, const CLSID& clsid);
    ~ActiveObjectRegistration();
    ActiveObjectRegistration(const ActiveObjectRegistration&) = delete;
    ActiveObjectRegistration& operator=(const ActiveObjectRegistration&) = delete;

  private:
    ProgIdRegistration progId_;
    DWORD cookie_ = 0;
};

// The class id the test server registers under; not the editor's.
extern const CLSID testServerClsid;

// The ProgID the tests and benchmarks serve under, so that nothing they do, or leave behind
// when killed, can hide a real editor installed for the same user.
inline constexpr char16_t testServerProgId[] = u"Tagwright.TestEditor";

} // namespace tagwright::host::com
