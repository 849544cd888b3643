// SPDX-FileCopyrightText: 2026 The Quenlora authors
// SPDX-License-Identifier: GPL-3.0-or-later

// Any batch through BuildReturnDocument and WriteReturnDocument, in all three
// kinds: either the export is refused, exactly when some trimmed code holds a
// character XML 1.0 cannot carry and before any file is touched, or libxml2
// reads the document as well-formed, in the right namespace, with the
// sections of the kind and the trimmed codes back in batch order. Every kind's
// document is read back from memory. For some inputs (ThroughFiles) one of
// them, chosen by the input's size, goes through a real export to a file,
// which must hold exactly those bytes.
//
// Input: entries separated by 0x00; an entry's first byte marks it when odd,
// the rest is its code (DecodeFuzzText).

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "batch_error.h"
#include "code_batch.h"
#include "fuzz_support.h"
#include "return_document.h"
#include "unicode_text.h"

using namespace quenlora;
using quenlora::fuzz::Hex;
using quenlora::fuzz::Show;

namespace {

constexpr std::string_view kOldContent = "previous export\r\n";

const char* Name(TExportKind kind)
{
  switch (kind) {
    case xkSingle: return "xkSingle";
    case xkFull: return "xkFull";
    case xkKombi: return "xkKombi";
  }
  return "?";
}

// The entries in the order the kind writes them, grouped by section.
struct TSection {
  std::string Element;
  std::vector<std::ptrdiff_t> Entries;
};

std::vector<TSection> ExpectedSections(const TCodeBatch& batch, TExportKind kind)
{
  std::vector<std::ptrdiff_t> all, marked, unmarked;
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) {
    all.push_back(i);
    (batch.WholePackage(i) ? marked : unmarked).push_back(i);
  }
  switch (kind) {
    case xkSingle: return {{"JednotliveKontrolniPasky", all}};
    case xkFull: return {{"NeporusenaBaleni", all}};
    case xkKombi: {
      std::vector<TSection> sections;
      if (!marked.empty()) sections.push_back({"NeporusenaBaleni", marked});
      if (!unmarked.empty()) sections.push_back({"JednotliveKontrolniPasky", unmarked});
      return sections;
    }
  }
  return {};
}

std::string ExpectedNamespace()
{
  std::string host;
  FUZZ_CHECK(fuzz::ReferenceUtf8(NamespaceHost, host), "NamespaceHost is not text");
  return "http://" + host + "/XMLSchema/RZL/VraceneKP/1.0.0";
}

bool Is(const xmlChar* text, const char* expected)
{
  return text != nullptr && std::strcmp(reinterpret_cast<const char*>(text), expected) == 0;
}

std::string Text(const xmlChar* text) { return text == nullptr ? std::string() : reinterpret_cast<const char*>(text); }

bool Blank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

// Reads one document with libxml2's streaming (SAX2) interface and compares
// it, as it goes, with the sections and codes it must hold: the root
// element, its sections in order, in each the codes in batch order, all in
// the namespace without a prefix and without attributes; between elements
// only blank text, inside a code only text. Streaming builds no tree, so a
// document costs the parse and a few comparisons, not an allocation for
// every element.
class TDocumentReader {
public:
  TDocumentReader()
  {
    handler_.initialized = XML_SAX2_MAGIC;
    handler_.startElementNs = &TDocumentReader::StartElement;
    handler_.endElementNs = &TDocumentReader::EndElement;
    handler_.characters = &TDocumentReader::Characters;
    handler_.ignorableWhitespace = &TDocumentReader::Characters;
    handler_.cdataBlock = &TDocumentReader::Markup;
    handler_.comment = &TDocumentReader::Comment;
    handler_.processingInstruction = &TDocumentReader::Instruction;
    handler_.reference = &TDocumentReader::Reference;
    // Without user data of its own, the parser hands itself to the callbacks;
    // its _private field leads back here.
    parser_ = xmlCreatePushParserCtxt(&handler_, nullptr, nullptr, 0, "export.xml");
    FUZZ_CHECK(parser_ != nullptr, "no XML parser");
  }

  // expected: every entry's trimmed code in UTF-8.
  void Check(const TCodeBatch& batch, TExportKind kind, const std::vector<TSection>& sections,
             const std::vector<std::string>& expected, const std::string& bytes)
  {
    batch_ = &batch;
    kind_ = Name(kind);
    sections_ = &sections;
    expected_ = &expected;
    depth_ = 0;
    section_ = 0;
    code_ = 0;
    roots_ = 0;
    FUZZ_CHECK(bytes.starts_with("\xEF\xBB\xBF"), kind_ + ": no UTF-8 byte-order mark: " + Hex(bytes));
    FUZZ_CHECK(bytes.ends_with("\r\n"), kind_ + ": the file does not end with CR LF");

    xmlResetLastError();
    // The first bytes go with the reset, as the push parser detects the
    // encoding from them.
    const int lead = static_cast<int>(std::min<std::size_t>(bytes.size(), 4));
    FUZZ_CHECK(xmlCtxtResetPush(parser_, bytes.data(), lead, "export.xml", nullptr) == 0,
               "the XML parser cannot be reset");
    xmlCtxtUseOptions(parser_, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    parser_->_private = this;
    const int failed = xmlParseChunk(parser_, bytes.data() + lead, static_cast<int>(bytes.size()) - lead, 1);
    if (failed != 0 || !parser_->wellFormed) {
      const xmlError* error = xmlCtxtGetLastError(parser_);
      FUZZ_CHECK(false, kind_ + ": not well-formed: " + (error && error->message ? error->message : "?") + " at line " +
                            std::to_string(error ? error->line : 0) + "; file " + Hex(bytes, 400));
    }
    FUZZ_CHECK(roots_ == 1 && depth_ == 0, kind_ + ": the document has no complete root element");
  }

private:
  static TDocumentReader& Of(void* context)
  {
    return *static_cast<TDocumentReader*>(static_cast<xmlParserCtxt*>(context)->_private);
  }

  void InNamespace(const xmlChar* name, const xmlChar* prefix, const xmlChar* uri, int attributes)
  {
    static const std::string expected = ExpectedNamespace();
    FUZZ_CHECK(prefix == nullptr && Is(uri, expected.c_str()),
               kind_ + ": element " + Text(name) + " is in namespace " + Text(uri) + " with prefix " + Text(prefix));
    FUZZ_CHECK(attributes == 0, kind_ + ": element " + Text(name) + " has attributes");
  }

  static void StartElement(void* context, const xmlChar* name, const xmlChar* prefix, const xmlChar* uri, int,
                           const xmlChar**, int attributes, int, const xmlChar**)
  {
    TDocumentReader& self = Of(context);
    self.InNamespace(name, prefix, uri, attributes);
    const std::vector<TSection>& sections = *self.sections_;
    switch (++self.depth_) {
      case 1:
        ++self.roots_;
        FUZZ_CHECK(Is(name, "VraceneKontrolniPasky"), self.kind_ + ": the root element is " + Text(name));
        break;
      case 2:
        FUZZ_CHECK(self.section_ < sections.size(), self.kind_ + ": more than " + std::to_string(sections.size()) +
                                                        " sections");
        FUZZ_CHECK(Is(name, sections[self.section_].Element.c_str()),
                   self.kind_ + ": section " + std::to_string(self.section_) + " is " + Text(name) + ", expected " +
                       sections[self.section_].Element);
        self.code_ = 0;
        break;
      case 3: {
        const TSection& section = sections[self.section_];
        FUZZ_CHECK(Is(name, "IndividualniKod"), self.kind_ + ": unexpected element " + Text(name));
        FUZZ_CHECK(self.code_ < section.Entries.size(), self.kind_ + ": " + section.Element + " holds more than " +
                                                            std::to_string(section.Entries.size()) + " codes");
        self.read_.clear();
        break;
      }
      default: FUZZ_CHECK(false, self.kind_ + ": a code holds markup (" + Text(name) + ")");
    }
  }

  static void EndElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
  {
    TDocumentReader& self = Of(context);
    const std::vector<TSection>& sections = *self.sections_;
    switch (self.depth_--) {
      case 1:
        FUZZ_CHECK(self.section_ == sections.size(), self.kind_ + ": " + std::to_string(self.section_) +
                                                         " sections, expected " + std::to_string(sections.size()));
        break;
      case 2: {
        const TSection& section = sections[self.section_++];
        FUZZ_CHECK(self.code_ == section.Entries.size(), self.kind_ + ": " + section.Element + " holds " +
                                                             std::to_string(self.code_) + " codes, expected " +
                                                             std::to_string(section.Entries.size()));
        break;
      }
      case 3: {
        const std::ptrdiff_t entry = sections[self.section_].Entries[self.code_++];
        const std::string& want = (*self.expected_)[static_cast<std::size_t>(entry)];
        FUZZ_CHECK(fuzz::Same(self.read_, want), self.kind_ + ": entry " + std::to_string(entry) + " reads back as " +
                                                     Hex(self.read_) + ", expected " + Hex(want) + " from " +
                                                     Show(self.batch_->Code(entry)));
        break;
      }
    }
  }

  static void Characters(void* context, const xmlChar* text, int length)
  {
    TDocumentReader& self = Of(context);
    const std::string_view chunk(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
    if (self.depth_ == 3)
      self.read_.append(chunk);
    else
      FUZZ_CHECK(self.depth_ == 0 || Blank(chunk), self.kind_ + ": text outside the codes: " + Hex(chunk));
  }

  static void Markup(void* context, const xmlChar*, int)
  {
    FUZZ_CHECK(false, Of(context).kind_ + ": a CDATA section in the document");
  }

  static void Comment(void* context, const xmlChar*)
  {
    FUZZ_CHECK(Of(context).depth_ == 0, Of(context).kind_ + ": a comment inside the root element");
  }

  static void Instruction(void* context, const xmlChar*, const xmlChar*)
  {
    FUZZ_CHECK(Of(context).depth_ == 0, Of(context).kind_ + ": a processing instruction inside the root element");
  }

  static void Reference(void* context, const xmlChar* name)
  {
    FUZZ_CHECK(false, Of(context).kind_ + ": a reference to entity " + Text(name));
  }

  xmlSAXHandler handler_{};
  xmlParserCtxt* parser_ = nullptr;
  const TCodeBatch* batch_ = nullptr;
  std::string kind_;
  const std::vector<TSection>* sections_ = nullptr;
  const std::vector<std::string>* expected_ = nullptr;
  int depth_ = 0;
  std::size_t section_ = 0;
  std::size_t code_ = 0;
  int roots_ = 0;
  std::string read_;
};

// One reader for the whole run; each document resets it.
TDocumentReader& Reader()
{
  static TDocumentReader reader;
  return reader;
}

void DiscardMessage(void*, const char*, ...) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  xmlInitParser();
  xmlSetGenericErrorFunc(nullptr, DiscardMessage);
  Reader();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  static const std::string folder = fuzz::ScratchFolder();
  static const std::string path = folder + "/export.xml";
  static const std::u16string path16 = fuzz::Widen(path);

  std::vector<std::u16string> codes;
  std::vector<bool> marks;
  for (std::string_view piece : fuzz::SplitBytes(input, '\0')) {
    marks.push_back(!piece.empty() && (piece[0] & 1) != 0);
    codes.push_back(fuzz::DecodeFuzzText(piece.substr(piece.empty() ? 0 : 1)));
  }
  const std::vector<std::u16string_view> lines(codes.begin(), codes.end());
  TCodeBatch batch;
  batch.ReplaceFromLines(lines);
  for (std::size_t i = 0; i < marks.size(); ++i) batch.SetWholePackage(static_cast<std::ptrdiff_t>(i), marks[i]);

  // An earlier export sits at the target: a refused export must leave it.
  const bool throughFiles = fuzz::ThroughFiles(input);
  if (throughFiles) fuzz::WriteBytes(path, kOldContent);
  std::string onDisk(kOldContent);
  const auto exported = static_cast<TExportKind>(size % 3);

  // Each entry's first character that cannot be written, if any; the kinds
  // only differ in the order they meet the entries.
  std::vector<std::optional<char16_t>> unwritableIn;
  for (std::ptrdiff_t i = 0; i < batch.Count(); ++i)
    unwritableIn.push_back(fuzz::FirstUnwritable(fuzz::ReferenceTrim(batch.Code(i))));

  std::vector<std::string> expected;  // filled once a document is built
  for (TExportKind kind : {xkSingle, xkFull, xkKombi}) {
    const std::string kind_ = Name(kind);

    // Which entry, in the order the kind writes them, first holds a character
    // that cannot be written, and which character.
    const std::vector<TSection> sections = ExpectedSections(batch, kind);
    std::optional<std::pair<std::ptrdiff_t, char16_t>> unwritable;
    for (const TSection& section : sections) {
      for (std::ptrdiff_t entry : section.Entries) {
        if (unwritable) break;
        if (const auto c = unwritableIn[static_cast<std::size_t>(entry)]) unwritable = {{entry, *c}};
      }
    }

    std::optional<TDocumentLines> document;
    try {
      document = BuildReturnDocument(batch, kind);
    } catch (const TBatchError& error) {
      FUZZ_CHECK(unwritable.has_value(), kind_ + ": refused a batch XML can carry: " + Show(error.Message()));
      char hex[8];
      std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(unwritable->second));
      const std::u16string wanted = u"K\u00F3d na pozici " + fuzz::Widen(std::to_string(unwritable->first + 1)) +
                                      u" obsahuje znak U+" + fuzz::Widen(hex) +
                                      u", kter\u00FD nelze zapsat do XML souboru. Export nebyl proveden.";
      FUZZ_CHECK(fuzz::Same(error.Message(), wanted),
                 kind_ + ": message " + Show(error.Message()) + ", wanted " + Show(wanted));
      if (throughFiles)
        FUZZ_CHECK(fuzz::Same(fuzz::ReadBytes(path), onDisk) && fuzz::FilesIn(folder) == 1,
                   kind_ + ": a refused export touched the folder");
      continue;
    }
    FUZZ_CHECK(!unwritable.has_value(), kind_ + ": entry " + std::to_string(unwritable->first) + " holds U+" +
                                            Hex(std::string(1, static_cast<char>(unwritable->second >> 8))) +
                                            Hex(std::string(1, static_cast<char>(unwritable->second & 0xFF))) +
                                            " but the export was not refused");
    FUZZ_CHECK(document->Count() > 0 && fuzz::Same(document->Line(0), u"<?xml version=\"1.0\" encoding=\"utf-8\"?>"),
               kind_ + ": the first line is not the XML declaration");

    std::string bytes = "\xEF\xBB\xBF" + std::string(document->Utf8());
    FUZZ_CHECK(fuzz::Same(document->Bytes(), bytes), kind_ + ": the file's bytes are not the mark and the lines");
    if (throughFiles && kind == exported) {
      WriteReturnDocument(*document, path16);
      onDisk = fuzz::ReadBytes(path);
      FUZZ_CHECK(fuzz::Same(onDisk, bytes), kind_ + ": the file differs from the lines");
      FUZZ_CHECK(fuzz::FilesIn(folder) == 1, kind_ + ": a temporary file was left behind");
    }
    if (expected.empty()) {
      // Written at all, the document holds only codes that UTF-8 can carry.
      for (std::ptrdiff_t i = 0; i < batch.Count(); ++i) {
        FUZZ_CHECK(fuzz::ReferenceUtf8(fuzz::ReferenceTrim(batch.Code(i)), expected.emplace_back()),
                   "an exported code holds an unpaired surrogate");
      }
    }
    Reader().Check(batch, kind, sections, expected, bytes);
  }
  if (throughFiles) std::remove(path.c_str());
  return 0;
}
