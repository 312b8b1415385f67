#pragma once

#include <firebird/Interface.h>

// A status wrapper whose failure check throws the layer's own exception type, so that no
// Firebird exception type leaves the layer.
class IB_Status : public Firebird::BaseStatusWrapper<IB_Status> {
public:
    explicit IB_Status(Firebird::IStatus* status) : BaseStatusWrapper(status) {}
    static void checkException(IB_Status* status);
};

// Owns an IStatus for the duration of one or more calls.
class IB_StatusHolder {
public:
    IB_StatusHolder();
    ~IB_StatusHolder();
    IB_StatusHolder(const IB_StatusHolder&) = delete;
    IB_StatusHolder& operator=(const IB_StatusHolder&) = delete;

    IB_Status* operator->() { return &wrapper_; }
    IB_Status* get() { return &wrapper_; }

private:
    Firebird::IStatus* status_;
    IB_Status wrapper_;
};
