#include "app/tar_result.h"

std::vector<std::string> TarClosingLines() {
  // The shipped bsdtar speaks English only; so does a GNU tar for Windows.
  return {"Error exit delayed from previous errors.",
          "Exiting with failure status due to previous errors"};
}
