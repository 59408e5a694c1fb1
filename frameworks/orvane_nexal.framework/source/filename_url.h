// A plug-in layer path in the core layer's URL form.
#pragma once
#include "nexal/url.h"
#include "zor_filename.h"

nexal::Url UrlFromFilename(const Filename& name);
