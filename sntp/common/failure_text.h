#pragma once
// What a failure being handled says, for the boundaries that catch any
// failure and must tell what they caught.
namespace sntp {

// Called inside a catch block: the exception's what(), or a text saying it
// was no standard exception. Valid while that catch block runs.
const char* CaughtFailureText() noexcept;

}  // namespace sntp
