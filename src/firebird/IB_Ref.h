#pragma once

#include <utility>

// Owns one reference to a reference-counted Firebird interface. A successful commit, rollback,
// free, close or detach consumes the reference: call Consumed() after it. After a failed call
// the reference is still ours and is released here.
template <typename T> class IB_Ref {
public:
    IB_Ref() = default;
    explicit IB_Ref(T* p) : p_(p) {}
    ~IB_Ref() { reset(); }
    IB_Ref(const IB_Ref&) = delete;
    IB_Ref& operator=(const IB_Ref&) = delete;
    IB_Ref(IB_Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    IB_Ref& operator=(IB_Ref&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    void reset(T* p = nullptr) {
        if (p_)
            p_->release();
        p_ = p;
    }
    // The reference was consumed by a successful closing call.
    void Consumed() { p_ = nullptr; }

private:
    T* p_ = nullptr;
};
