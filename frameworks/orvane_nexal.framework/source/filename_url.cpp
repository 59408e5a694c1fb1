#include "filename_url.h"

nexal::Url UrlFromFilename(const Filename& name) {
  return nexal::Url::FromPath(name.GetString().ToUtf8());
}
