#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tagwright::host::com {

// Objects reached the same way (the same member of the same kind of parent, or the members of
// one collection), and whether the first of them said its type. Objects that did not are not
// asked again, which saves a round trip per pin on a server without type descriptions. Only
// cost hangs on it: objects never share member ids for being of one kind.
class DispatchKind {
  public:
    std::optional<bool> typed;

    // The kind of the objects that `member` hands out.
    std::shared_ptr<DispatchKind> child(std::u16string_view member);

  private:
    std::map<std::u16string, std::shared_ptr<DispatchKind>, std::less<>> children_;
};

} // namespace tagwright::host::com
