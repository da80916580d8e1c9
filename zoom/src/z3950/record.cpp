#include "connection.h"
#include "eacc_segments.h"
#include "record_charset.h"
#include "result_set.h"

#include <loomkit/CvtCode.h>
#include <loomkit/MarcFile.h>
#include <loomkit/RecordText.h>

#include <platform/codepage.h>
#include <platform/text.h>

#include <yaz/oid_db.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace z3950 {
namespace {

std::u16string ansi(const char* bytes, size_t length) {
  return platform::toWide(platform::CP_ACP, std::string_view(bytes, length));
}

// The internal record text of a decoded ISO 2709 record, however large the record is.
std::u16string toInternalText(const std::u16string& iso) {
  // The text is written over its own buffer and may outgrow the record: besides the
  // record's own characters it holds at most 99,999 counted characters (a record buffer's
  // worth) plus 8 uncounted ones per field.
  size_t fields = iso.size() / 12 + 2;
  size_t capacity = iso.size() + 1 + size_t(loomkit::kRecordBufferSize) + 8 * fields + 64;
  if (capacity > size_t(INT32_MAX)) return u"";
  std::vector<char16_t> text(capacity, 0);
  std::copy(iso.begin(), iso.end(), text.begin());
  // A record shorter than its leader is still read as one of 24 characters.
  std::vector<char16_t> scratch(std::max<size_t>(iso.size() + 1, 64), 0);
  CMarcFile marcFile;
  int32_t n = marcFile.Iso2Jinei(text.data(), scratch.data(), int32_t(iso.size()), int32_t(capacity));
  if (n < 0) n = 0;
  return std::u16string(text.data(), std::min(size_t(n), capacity));
}

}  // namespace

std::u16string Record::GetRender() const {
  if (!record_) return u"";
  int len = 0;
  const char* render = ZOOM_record_get(record_, "render", &len);
  return render ? ansi(render, size_t(len > 0 ? len : 0)) : u"";
}

std::u16string Record::GetRaw() const {
  if (!record_) return u"";
  int len = 0;
  const char* raw = ZOOM_record_get(record_, "raw", &len);
  if (!raw || len <= 0) return u"";
  std::u16string text = ansi(raw, strnlen(raw, size_t(len)));
  return autoCvtEacc_ ? replaceEaccSegments(text, eaccToUnicode) : text;
}

std::u16string Record::GetOIDs() const {
  if (!record_) return u"";
  int len = 0;
  auto wide = [](const char* s) { return platform::toWide(platform::CP_ACP, s ? s : ""); };
  // Each answer is taken before the next is asked for: the records of a result set share
  // ZOOM's buffer for what it hands out.
  const char* database = ZOOM_record_get(record_, "database", &len);
  std::u16string databaseText = wide(database ? database : "unknown");
  const char* syntax = ZOOM_record_get(record_, "syntax", &len);
  char oid[OID_STR_MAX] = {0};
  const char* dotted = syntax ? oid_name_to_dotstring(CLASS_RECSYN, syntax, oid) : nullptr;
  return platform::format(u"<OIDs><database>%s</database><syntax>%s</syntax><oid>%s</oid></OIDs>", databaseText,
                          wide(syntax), wide(dotted));
}

std::u16string Record::GetXml() const {
  if (!record_) return u"";
  int len = 0;
  const char* raw = ZOOM_record_get(record_, "raw", &len);
  if (!raw || len < 0) return u"";
  std::string_view bytes(raw, size_t(len));
  // Bytes that do not begin as a record would come out as a record text made of junk.
  if (!isIso2709Record(bytes)) {
    if (std::shared_ptr<Connection> owner = owner_.lock()) owner->setLastError(ZOOM_ERROR_DECODE);
    return u"";
  }

  CCvtCode latin(u"Latin");
  std::u16string text = decodeForText(bytes, [&latin](unsigned char b) {
    char c = char(b);
    return latin.IsExtLatin(&c) != 0;
  });
  if (autoCvtEacc_) text = replaceEaccSegments(text, eaccToUnicode);
  return std::u16string(loomkit::kRecordPrefix) + toInternalText(text);
}

int32_t Record::AutoCvtEacc(int32_t on) {
  int32_t previous = autoCvtEacc_;
  autoCvtEacc_ = on;
  return previous;
}

}  // namespace z3950
