// The main of the unit tests built for Windows. Standard output and error
// are switched to binary mode first, so that a "\n" stays one byte: the test
// list that CTest reads is then the same as on Linux, and the texts that a
// test expects on standard error (the fatal error box text with its CR LF
// pairs) are not given extra carriage returns.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
