#include "host/com/ComFailure.h"

#include "host/com/ComHandles.h"

#include <winerror.h>

#include <cstdio>

namespace tagwright::host::com {

namespace {

// Scripting runtimes carry their error numbers as HRESULTs of this facility.
constexpr HRESULT controlFacilityError(std::int32_t number) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number));
}

std::int32_t numberOf(HRESULT scode) {
    if (HRESULT_FACILITY(scode) == FACILITY_CONTROL && FAILED(scode)) {
        return HRESULT_CODE(scode);
    }
    return static_cast<std::int32_t>(scode);
}

std::u16string formatMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (length > 0 && buffer) {
        text = fromWide(buffer, length);
    }
    LocalFree(buffer);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' ||
                             text.back() == u' ' || text.back() == u'.')) {
        text.pop_back();
    }
    return text;
}

} // namespace

std::u16string systemMessage(HRESULT hr) {
    std::u16string text = formatMessage(static_cast<DWORD>(hr));
    // Errors of the RPC layer (the editor has gone away) are Win32 codes wrapped in an HRESULT.
    if (text.empty() && HRESULT_FACILITY(hr) == FACILITY_WIN32) {
        text = formatMessage(static_cast<DWORD>(HRESULT_CODE(hr)));
    }
    if (text.empty()) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(hr));
        text.assign(hex, hex + std::char_traits<char>::length(hex));
    }
    return text;
}

Failure failureFromHresult(HRESULT hr, std::u16string_view member) {
    switch (hr) {
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
        return Failure::memberNotSupported(member);
    case DISP_E_TYPEMISMATCH:
        return Failure::typeMismatch();
    case DISP_E_OVERFLOW:
        return Failure::overflow();
    default:
        return {static_cast<std::int32_t>(hr), systemMessage(hr)};
    }
}

Failure failureFromException(EXCEPINFO& info) {
    if (info.pfnDeferredFillIn) {
        info.pfnDeferredFillIn(&info);
    }
    Bstr source = Bstr::adopt(info.bstrSource);
    Bstr description = Bstr::adopt(info.bstrDescription);
    Bstr helpFile = Bstr::adopt(info.bstrHelpFile);
    info.bstrSource = info.bstrDescription = info.bstrHelpFile = nullptr;

    std::int32_t number = info.wCode != 0 ? info.wCode : numberOf(info.scode);
    std::u16string text = description.text();
    if (text.empty() && info.wCode == 0 && FAILED(info.scode)) {
        text = systemMessage(info.scode);
    }
    return {number, std::move(text)};
}

HRESULT exceptionFromFailure(const Failure& failure, EXCEPINFO* info) {
    std::int32_t number = failure.number();
    switch (number) {
    case Failure::MemberNotSupported:
        return DISP_E_MEMBERNOTFOUND;
    case Failure::TypeMismatch:
        return DISP_E_TYPEMISMATCH;
    case Failure::Overflow:
        return DISP_E_OVERFLOW;
    default:
        break;
    }
    if (info) {
        *info = EXCEPINFO{};
        info->bstrSource = Bstr(u"Tagwright").release();
        info->bstrDescription = Bstr(failure.description()).release();
        if (number > 0 && number <= 0xFFFF) {
            info->scode = controlFacilityError(number);
        } else if (number < 0) {
            info->scode = static_cast<HRESULT>(number);
        } else {
            info->scode = E_FAIL;
        }
    }
    return DISP_E_EXCEPTION;
}

} // namespace tagwright::host::com
