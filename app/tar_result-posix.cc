#include "app/tar_result.h"

#include <libintl.h>

std::vector<std::string> TarClosingLines() {
  // GNU tar speaks the user's language from its own catalogue, which
  // gettext finds for arkiva as it does for tar; bsdtar speaks English.
  const char kGnu[] = "Exiting with failure status due to previous errors";
  return {kGnu, dgettext("tar", kGnu), "Error exit delayed from previous errors."};
}
