#pragma once

#include "host/HostObject.h"
#include "host/com/ComHandles.h"
#include "standin-com/HostDispatch.h"

#include <optional>
#include <string>

namespace tagwright::host::com {

// Maps a ProgID to a class id in the registry for as long as it lives, and puts back what was
// there before. A mapping to the same class id found at the start is what a killed server left
// behind, not something to put back: it is removed at once. The per-user classes come first;
// where they are not read (Wine 8 looks only at the machine's), the machine's classes are used.
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

// Puts `application` into the running object table under `clsid`, and under `alias` as well when
// given, which is where an attaching client looks once it knows the class id of its ProgID;
// revoked when this ends. Refuses to start when the table already holds an object of class
// `clsid`: a client would reach either.
class ActiveObjectRegistration {
  public:
    ActiveObjectRegistration(ObjectRef application, const CLSID& clsid, ServingOptions options = {},
                             std::optional<CLSID> alias = {});
    ~ActiveObjectRegistration();
    ActiveObjectRegistration(const ActiveObjectRegistration&) = delete;
    ActiveObjectRegistration& operator=(const ActiveObjectRegistration&) = delete;

  private:
    DWORD cookie_ = 0, aliasCookie_ = 0;
};

// Whether an object of class `clsid` answers in the running object table.
bool isRunning(const CLSID& clsid);

// The class id every test server registers under; not the editor's.
extern const CLSID testServerClsid;

// The ProgID the tests and benchmarks attach to, so that nothing they do, or leave behind when
// killed, can hide a real editor installed for the same user. It is in no registry: the test
// programs' manifest (TestEditor.manifest) maps it to testServerClsid for them alone.
inline constexpr char16_t testServerProgId[] = u"Tagwright.TestEditor";

// The class id the test-only ProgID names in this program. A manifest maps a ProgID to an alias
// of its class that only this process knows, so a test server must be registered under that
// alias too (ServerProcess passes it on).
CLSID testProgIdClass();

} // namespace tagwright::host::com
