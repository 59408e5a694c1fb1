// "nexal.UrlInterface#1" and the interfaces its objects carry (browse iterators, input streams, Exif
// readers and their dictionaries, error objects), as zorhost hands them to modules.
#pragma once
#include <string>

#include "nexal_records.h"

namespace zorhost {

const NexalUrlInterface* url_interface();
const NexalIoBrowseInterface* io_browse_interface();
const NexalInputStreamInterface* input_stream_interface();
const NexalErrorInterface* error_interface();
const NexalExifInterface* exif_interface();

// A counted text the module releases.
NexalText* make_core_text(std::string value);

// The Exif reader of the image at url (exif_reader.cpp).
NexalError* exif_open(const char* url, NexalExif** exif);

}  // namespace zorhost
