#include "url.h"

#include "hostcalls.h"
#include "iostreams.h"
#include "object.h"

namespace nexal {
namespace detail {

const NexalUrlInterface* UrlInterface() {
  return static_cast<const NexalUrlInterface*>(ResolveForCall(Reference(Ref::Url)));
}

bool ObjectInterfaceResolved(int32_t which) {
  return ResolveForCall(Reference(static_cast<Ref>(which))) != nullptr;
}

std::string TakeText(NexalText* text) {
  if (text == nullptr) return {};
  std::string result = text->text != nullptr && text->length > 0
                           ? std::string(text->text, static_cast<std::size_t>(text->length))
                           : std::string();
  if (text->release != nullptr) text->release(text);
  return result;
}

Error Unavailable(const char* id) {
  return Error::Make(NEXAL_ERROR_UNSUPPORTED, std::string(id) + " is not available");
}

}  // namespace detail

namespace {

bool Unreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

// A URL operation that answers a text; the empty text when the host cannot.
template <class... Arguments>
std::string Ask(NexalText* (*NexalUrlInterface::*operation)(Arguments...), auto&&... arguments) {
  const NexalUrlInterface* url = detail::UrlInterface();
  if (url == nullptr || url->*operation == nullptr) return {};
  return detail::TakeText((url->*operation)(arguments...));
}

}  // namespace

Url Url::FromPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  Url url;
  url.text_.reserve(7 + path.size());
  url.text_ = "file://";
  for (const char byte : path) {
    const auto c = static_cast<unsigned char>(byte);
    if (Unreserved(c)) {
      url.text_ += byte;
    } else {
      url.text_ += '%';
      url.text_ += kHex[c >> 4];
      url.text_ += kHex[c & 15];
    }
  }
  return url;
}

Url Url::Parse(std::string_view text) {
  const std::string owned(text);
  std::string parsed = Ask(&NexalUrlInterface::parse, owned.c_str());
  // Without the host the text stays what it was: every later call on it fails and says why.
  return Url(parsed.empty() ? owned : std::move(parsed));
}

Url Url::Handlers() {
  std::string text = Ask(&NexalUrlInterface::handlers);
  return Url(text.empty() ? std::string("handler://") : std::move(text));
}

Url Url::InZip(const Url& archive) {
  return Url(Ask(&NexalUrlInterface::wrap, "zip", archive.text_.c_str()));
}

std::string Url::GetScheme() const {
  return Ask(&NexalUrlInterface::scheme, text_.c_str());
}

std::string Url::GetName() const {
  return Ask(&NexalUrlInterface::name, text_.c_str());
}

std::string Url::GetSuffix() const {
  return Ask(&NexalUrlInterface::suffix, text_.c_str());
}

bool Url::GetParent(Url* parent) const {
  const NexalUrlInterface* url = detail::UrlInterface();
  if (url == nullptr || url->parent == nullptr || parent == nullptr) return false;
  NexalText* text = nullptr;
  const bool has = url->parent(text_.c_str(), &text) == 1;
  std::string found = detail::TakeText(text);
  if (!has || found.empty()) return false;
  parent->text_ = std::move(found);
  return true;
}

Url Url::Append(std::string_view name) const {
  const std::string owned(name);
  return Url(Ask(&NexalUrlInterface::append, text_.c_str(), owned.c_str()));
}

Error Url::Browse(IoBrowse* iterator) const {
  if (iterator == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no iterator to browse into");
  *iterator = IoBrowse();
  const NexalUrlInterface* url = detail::UrlInterface();
  if (url == nullptr || url->browse == nullptr) return detail::Unavailable(NEXAL_URL_ID);
  if (!detail::ObjectInterfaceResolved(static_cast<int32_t>(Ref::IoBrowse)))
    return detail::Unavailable(NEXAL_IO_BROWSE_ID);
  NexalIoBrowse* browse = nullptr;
  Error error(url->browse(text_.c_str(), 0, &browse));
  if (error) {
    if (browse != nullptr && browse->methods != nullptr && browse->methods->release != nullptr)
      browse->methods->release(browse);
    return error;
  }
  if (browse == nullptr || browse->methods == nullptr)
    return Error::Make(NEXAL_ERROR_ILLEGAL_STATE, "the host answered no iterator for " + text_);
  *iterator = IoBrowse(browse);
  return Error();
}

Error Url::OpenInput(InputStream* stream) const {
  if (stream == nullptr) return Error::Make(NEXAL_ERROR_NULL_POINTER, "no stream to open into");
  stream->Close();
  const NexalUrlInterface* url = detail::UrlInterface();
  if (url == nullptr || url->open_input == nullptr) return detail::Unavailable(NEXAL_URL_ID);
  if (!detail::ObjectInterfaceResolved(static_cast<int32_t>(Ref::InputStream)))
    return detail::Unavailable(NEXAL_INPUT_STREAM_ID);
  NexalInputStream* opened = nullptr;
  Error error(url->open_input(text_.c_str(), &opened));
  if (error) {
    if (opened != nullptr && opened->methods != nullptr && opened->methods->close != nullptr)
      opened->methods->close(opened);
    return error;
  }
  if (opened == nullptr || opened->methods == nullptr)
    return Error::Make(NEXAL_ERROR_ILLEGAL_STATE, "the host answered no stream for " + text_);
  *stream = InputStream(opened);
  return Error();
}

}  // namespace nexal
