#include "host/files/file_claim.h"

HeldFile& HeldFile::operator=(HeldFile&& other) {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = kNone;
  }
  return *this;
}

FileIdentity HeldFile::Identity() const {
  return handle_ != kNone ? QueryHandleIdentity(handle_) : FileIdentity();
}
