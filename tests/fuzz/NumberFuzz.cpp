// The text of a size, offset or rotation field as a number: never a crash, accepted exactly
// when the grammar accepts it, and then the correctly rounded value of the decimal written
// (glibc's strtod rounds correctly, in the C locale the fuzzer runs in).
#include "host/Failure.h"
#include "labels/LabelSettings.h"
#include "support/Fault.h"
#include "support/FuzzInput.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

using namespace tagwright;

namespace {

// ASCII as itself, other bytes as Latin-1, and 0xFF followed by two bytes as any code unit
// (full-width digits, signs and spaces included).
std::u16string fieldText(fuzz::FuzzInput& in) {
    std::u16string text;
    while (!in.atEnd()) {
        const std::uint8_t b = in.byte();
        text.push_back(b == 0xFF ? in.integral<char16_t>() : char16_t(b));
    }
    return text;
}

// The grammar on its own: blanks around "-"? digits with at most one "." and at least one
// digit. Returns the number's ASCII text, or nothing when the grammar refuses the field.
std::optional<std::string> grammar(std::u16string_view text) {
    const auto isBlank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    std::string ascii;
    int digits = 0, points = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            ++digits;
        } else if (c == u'.') {
            ++points;
        } else if (c != u'-' || i != 0) {
            return std::nullopt;
        }
        ascii.push_back(static_cast<char>(c));
    }
    if (digits == 0 || points > 1) {
        return std::nullopt;
    }
    return ascii;
}

std::string show(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            out += "\\u" + std::to_string(unsigned(c));
        }
    }
    return "\"" + out + "\"";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput in(data, size);
    const std::u16string text = fieldText(in);
    const std::optional<std::string> accepted = grammar(text);

    std::optional<double> got;
    std::int32_t refusal = 0;
    try {
        got = labels::parseNumber(text);
    } catch (const host::Failure& failure) {
        refusal = failure.number();
    }

    // The empty field alone stands for 0.
    if (text.empty()) {
        if (!got || std::bit_cast<std::uint64_t>(*got) != 0) {
            fuzz::fault("the empty field is not 0");
        }
        return 0;
    }
    const auto gave = [&] {
        return got ? std::to_string(*got) : "failure " + std::to_string(refusal);
    };
    if (!accepted) {
        if (refusal != host::Failure::TypeMismatch) {
            fuzz::fault(show(text) + " is not a number, yet gave " + gave());
        }
        return 0;
    }
    errno = 0;
    const double expected = std::strtod(accepted->c_str(), nullptr);
    if (std::isinf(expected)) {
        if (refusal != host::Failure::Overflow) {
            fuzz::fault(show(text) + " is too large, yet gave " + gave());
        }
        return 0;
    }
    if (!got) {
        fuzz::fault(show(text) + " is a number, yet gave failure " + std::to_string(refusal));
    }
    if (std::bit_cast<std::uint64_t>(*got) != std::bit_cast<std::uint64_t>(expected)) {
        char a[40], b[40];
        std::snprintf(a, sizeof a, "%.17g", *got);
        std::snprintf(b, sizeof b, "%.17g", expected);
        fuzz::fault(show(text) + " read as " + a + ", not " + b);
    }
    return 0;
}
