// CMarcFile: ISO 2709 records in memory and in files, in every code-page form of the suite,
// plus the subfield lookups and tree operations shared by the record handles.
#pragma once

#include <loomkit/export.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class CFile;
}
namespace xml {
class Node;
class Document;
}

class CMarc;
class CSubField;
using platform::CFile;

/// \brief What the internal record text of a record read from a file holds of the record.
/// The text is made of whole elements within its budget of 99,999 characters (and the
/// reader's buffer), and every field is cut at 9,990 units: a record longer than that loses
/// its later subfields and fields.
struct Iso2709Extent {
  /// Fields in the record: directory entries paired with data.
  int32_t fields = 0;
  /// Fields in the text, the last one possibly cut among its subfields.
  int32_t fieldsKept = 0;
  /// Fields in the text with all their subfields.
  int32_t wholeFields = 0;
  /// A field in the text was cut at 9,990 units.
  bool fieldCut = false;
};

class LOOMKIT_API CMarcFile {
 public:
  /// \brief Attributes -1 (UTF-16LE), no line break, marker flag 0.
  CMarcFile();
  virtual ~CMarcFile();

  // --- Attributes -----------------------------------------------------------------------
  void SetAttribute(int32_t codePage, int32_t newlineAfterRecord);
  void GetAttribute(int32_t& codePage, int32_t& newlineAfterRecord);
  void SetAttributeEx(int32_t codePage, int32_t newlineAfterRecord, int32_t markerFlag);
  /// \brief After a read from offset 0: the detected form.
  void GetAttributeEx(int32_t& codePage, int32_t& newlineAfterRecord, int32_t& markerFlag);

  // --- Files ----------------------------------------------------------------------------
  /// \brief Reads the next record as internal record text; its length, or -1 at the end.
  int32_t ReadFromIso2709(char16_t* buffer, int32_t size, int32_t hFile);
  int32_t ReadFromIso2709(char16_t* buffer, int32_t size, CFile& file);
  /// \brief Reads the next record and (unless noLoad) loads it into `marc`.
  int32_t ReadFromIso2709(CMarc& marc, CFile& file, int noLoad = 0);
  /// \brief Reads the record before the one last read; -1 when there is none.
  int32_t ReadPrevRecord(char16_t* buffer, int32_t size, int32_t hFile);
  int32_t ReadPrevRecord(CMarc& marc, CFile& file);
  /// \brief What the text of the record last read holds of it (all zero when the last read
  /// gave no record).
  Iso2709Extent LastRecordExtent() const;
  /// \brief Appends one UTF-16 ISO 2709 record in the object's code page, whole or not at
  /// all. 0 when nothing was written: errno is then 0 when the record gives nothing to
  /// write, else the reason the write failed (what part reached the file is cut off again;
  /// when the file cannot be cut, it stands past that part, for MendTornTail to move out).
  int32_t AppendToIso2709(const char16_t* record, int32_t length, int32_t hFile);
  int32_t AppendToIso2709(const char16_t* record, int32_t length, CFile& file);
  /// \brief Converts the record with Jinei2Iso and appends it (whole or not at all, as above).
  int32_t AppendToIso2709(CMarc& marc, CFile& file);
  /// \brief Makes a record file end on a whole record before records are appended to it:
  /// a torn tail (bytes after the last record terminator other than line breaks, or a last
  /// record whose length passes the end of the file) is moved into a new file beside it,
  /// named in `tailFile`, and cut off. Units are the file's own (FF FE: UTF-16LE, EF BB BF:
  /// bytes, else as the reader tells them), the object's code page's only where the file
  /// cannot tell. 0: the file ended whole; 1: a tail was moved; -1: it could not be (errno
  /// says why; the file is as it was, but for a cut that could not be made durable: the
  /// tail is then kept in `tailFile` as well). The file then stands at its end.
  int32_t MendTornTail(CFile& file, std::string& tailFile);

  // --- Conversion in memory -------------------------------------------------------------
  /// \brief ISO 2709 record (UTF-16, `recordLength` units) to internal record text written
  /// over `record`, which holds `capacity` units; `scratch` holds recordLength + 1.
  int32_t Iso2Jinei(char16_t* record, char16_t* scratch, int32_t recordLength, int32_t capacity = 128000);
  /// \brief The record as UTF-16 ISO 2709 text in `output` (`size` units); its length.
  int32_t Jinei2Iso(CMarc& marc, char16_t* output, int32_t size);
  /// \brief A UTF-16 ISO 2709 record to the bytes of the object's code page in `output`
  /// (`size` 16-bit units); the byte length (characters for code page -1).
  int32_t CvtCharset(const char16_t* record, char16_t* output, int32_t size);
  /// \brief Bubble-sorts the directory of a UTF-16 ISO 2709 record by starting position.
  static void SortDirectory(char16_t* record);
  /// \brief Rewrites base address, lengths and starts of a byte record, cutting fields at
  /// 9,990 bytes; returns the new length. `bytes` must hold length + 1.
  int32_t RecomputeIsoDirectory(char* bytes, int32_t length, int leadByteCare);
  /// \brief Decodes EACC runs of a widened record in place; sets the marker flag to 3 or 4
  /// when runs were found. Returns the new length.
  int32_t DecodeEaccRuns(char16_t* text, int32_t length);

  // --- Subfield lookups on a record -----------------------------------------------------
  int AccessSubFld(CMarc& marc, const char16_t* tag, const char16_t* code);
  int AccessSubFld(CMarc& marc, const char16_t* tag, const char16_t* groupCode, const char16_t* groupText,
                   const char16_t* code);
  CSubField GetSpecifySubFld(CMarc& marc, const char16_t* tag, const char16_t* code);
  CSubField GetSpecifySubFld(CMarc& marc, const char16_t* tag, const char16_t* groupCode,
                             const char16_t* groupText, const char16_t* code);

  // --- Tree operations shared by the record handles -------------------------------------
  /// \brief Deep copy of an element (throws ComError(E_POINTER) for a null node).
  xml::Node CloneNode(const xml::Node& element);
  /// \brief Position of a node among all child nodes of its parent, from 0.
  int32_t ChildIndex(const xml::Node& node);

  /// \brief The toolkit's own instance, used by the record handles.
  static CMarcFile& Shared();

 private:
  // The readers' cores: internal record text of at most `capacity` units with its NUL;
  // the text's length, -1 at the end, -2 for a record passed over.
  int32_t readText(CFile& file, size_t capacity, std::u16string& text);
  // readText for a file known to stand at `start`.
  int32_t readTextAt(CFile& file, int64_t start, size_t capacity, std::u16string& text);
  int32_t prevText(CFile& file, size_t capacity, std::u16string& text);
  // A byte record as internal record text in the object's form (EACC runs decoded).
  // `brokenDirectory`: the scanner salvaged it, entries with blanks or letters in their numbers.
  int32_t byteText(const std::string& bytes, size_t capacity, std::u16string& text, bool brokenDirectory = false);
  // While the form is open, the first record with a byte above 7F decides it.
  void settleForm(std::string_view bytes);
  static void loadInto(CMarc& marc, const std::u16string& text);
  // Reads the next (or, `previous`, the preceding) record into `marc`: a byte record goes
  // straight into its tree, other forms through their text.
  int32_t loadRecord(CMarc& marc, CFile& file, bool previous);
  // Writes a record's bytes in the object's form: the byte-order mark at the start of a file
  // and the line break after it as the attributes ask. False when the write fails.
  bool writeRecordBytes(const std::string& bytes, CFile& file);

  int32_t codePage;
  int32_t newlineAfterRecord;
  int32_t markerFlag;
  // Set while a file read from its start shows no byte above 7F yet: the first record that
  // holds one decides between the ANSI code page and UTF-8. Any attribute setter clears it.
  bool formOpen = false;
  // While loadRecord runs: the document byteText builds its record in, and whether it did.
  CMarc* treeTarget = nullptr;
  bool treeBuilt = false;
  // What the conversion of the record last read kept of it; reset by every read.
  Iso2709Extent lastExtent;
};

/// \brief Internal record text to ISO 2709 bytes in `output` (at most 100,000 bytes).
extern "C" LOOMKIT_API int32_t OutMarc(const char16_t* text, int32_t codePage, int32_t markerFlag, void* output);
/// \brief The same under its C++ name.
LOOMKIT_API int32_t OutMarc0(const char16_t* text, int32_t codePage, int32_t markerFlag, void* output);
