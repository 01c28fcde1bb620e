#pragma once

#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace tagwright::host::com {

// Windows' wchar_t is a UTF-16 code unit, so the core's text crosses without conversion.
inline const wchar_t* wide(std::u16string_view text) {
    return reinterpret_cast<const wchar_t*>(text.data());
}
inline std::u16string fromWide(const wchar_t* text, std::size_t length) {
    return {reinterpret_cast<const char16_t*>(text), length};
}

// Owns one reference to a COM interface. Move-only so a reference is released exactly once.
template <class T> class ComPtr {
  public:
    ComPtr() = default;
    // Takes over a reference the caller already owns (an out-parameter, a fresh object).
    static ComPtr adopt(T* raw) {
        ComPtr p;
        p.raw_ = raw;
        return p;
    }
    // Adds a reference of its own.
    static ComPtr share(T* raw) {
        if (raw) {
            raw->AddRef();
        }
        return adopt(raw);
    }
    ComPtr(ComPtr&& other) noexcept : raw_(std::exchange(other.raw_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            raw_ = std::exchange(other.raw_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    void reset() {
        if (T* raw = std::exchange(raw_, nullptr)) {
            raw->Release();
        }
    }
    T* get() const { return raw_; }
    T* operator->() const { return raw_; }
    explicit operator bool() const { return raw_ != nullptr; }
    // For out-parameters: releases what is held first.
    T** put() {
        reset();
        return &raw_;
    }
    // Hands the reference to the caller (into a VARIANT or an out-parameter).
    T* release() { return std::exchange(raw_, nullptr); }

    template <class U> HRESULT queryInterface(ComPtr<U>& target) const {
        return raw_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(target.put()));
    }

  private:
    T* raw_ = nullptr;
};

class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(std::u16string_view text)
        : raw_(SysAllocStringLen(wide(text), static_cast<UINT>(text.size()))) {}
    static Bstr adopt(BSTR raw) {
        Bstr b;
        b.raw_ = raw;
        return b;
    }
    Bstr(Bstr&& other) noexcept : raw_(std::exchange(other.raw_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) {
            SysFreeString(raw_);
            raw_ = std::exchange(other.raw_, nullptr);
        }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(raw_); }

    BSTR get() const { return raw_; }
    BSTR release() { return std::exchange(raw_, nullptr); }
    // A null BSTR is the empty string by convention.
    std::u16string text() const { return raw_ ? fromWide(raw_, SysStringLen(raw_)) : u""; }

  private:
    BSTR raw_ = nullptr;
};

class Variant {
  public:
    Variant() { VariantInit(&raw_); }
    Variant(Variant&& other) noexcept : raw_(other.raw_) { VariantInit(&other.raw_); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            VariantClear(&raw_);
            raw_ = other.raw_;
            VariantInit(&other.raw_);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&raw_); }

    VARIANT* get() { return &raw_; }
    const VARIANT* get() const { return &raw_; }
    // Hands the contents to the caller, who now owns them; this one is left empty.
    VARIANT release() {
        VARIANT out = raw_;
        VariantInit(&raw_);
        return out;
    }

  private:
    VARIANT raw_;
};

} // namespace tagwright::host::com
