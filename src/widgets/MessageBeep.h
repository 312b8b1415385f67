#pragma once

// The system beep. Every beep of the program goes through here, so that it can be counted.
namespace vcl {

constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_ICONASTERISK = 0x40;

void MessageBeep(unsigned type);

// How many times MessageBeep has been called in this process.
int BeepCount();

} // namespace vcl
