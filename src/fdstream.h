// An output stream buffer onto a file descriptor that keeps why a write failed.
#pragma once

#include <streambuf>

// Bytes go to the descriptor in blocks; the first failed write's errno is kept, since a stream
// itself keeps only that it failed. After a failure the bytes are dropped.
class FdOutputBuffer : public std::streambuf {
  public:
    explicit FdOutputBuffer(int fd) : fd(fd) { setp(bytes, bytes + sizeof bytes); }
    int failure = 0;  // errno of the first failed write; 0 while none failed

  protected:
    int overflow(int c) override;
    int sync() override;

  private:
    int fd;
    char bytes[65536];
};
