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

std::string Text(const xmlChar* text) { return text == nullptr ? std::string() : reinterpret_cast<const char*>(text); }

bool Is(const xmlChar* text, const char* expected)
{
  return text != nullptr && std::strcmp(reinterpret_cast<const char*>(text), expected) == 0;
}

bool InNamespace(const xmlNode* node)
{
  static const std::string uri = ExpectedNamespace();
  return node->ns != nullptr && Is(node->ns->href, uri.c_str()) && node->ns->prefix == nullptr;
}

// Element children; anything else but blank text is reported.
std::vector<xmlNode*> Elements(xmlNode* parent, const std::string& where)
{
  std::vector<xmlNode*> elements;
  for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE)
      elements.push_back(child);
    else
      FUZZ_CHECK(child->type == XML_TEXT_NODE && xmlIsBlankNode(child), "unexpected content in " + where);
  }
  return elements;
}

// One parser for the whole run; each document resets it.
xmlParserCtxt* Parser()
{
  static xmlParserCtxt* const parser = xmlNewParserCtxt();
  return parser;
}

// expected: every entry's trimmed code in UTF-8.
void CheckDocument(const TCodeBatch& batch, TExportKind kind, const std::vector<TSection>& sections,
                   const std::vector<std::string>& expected, const std::string& bytes)
{
  const std::string kind_ = Name(kind);
  FUZZ_CHECK(bytes.starts_with("\xEF\xBB\xBF"), kind_ + ": no UTF-8 byte-order mark: " + Hex(bytes));
  FUZZ_CHECK(bytes.ends_with("\r\n"), kind_ + ": the file does not end with CR LF");

  xmlResetLastError();
  xmlDoc* document = xmlCtxtReadMemory(Parser(), bytes.data(), static_cast<int>(bytes.size()), "export.xml", nullptr,
                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (document == nullptr) {
    const xmlError* error = xmlGetLastError();
    FUZZ_CHECK(false, kind_ + ": not well-formed: " + (error && error->message ? error->message : "?") + " at line " +
                          std::to_string(error ? error->line : 0) + "; file " + Hex(bytes, 400));
  }
  xmlNode* root = xmlDocGetRootElement(document);
  FUZZ_CHECK(root != nullptr && Is(root->name, "VraceneKontrolniPasky") && InNamespace(root),
             kind_ + ": wrong root element or namespace");

  const std::vector<xmlNode*> found = Elements(root, "the root");
  FUZZ_CHECK(found.size() == sections.size(), kind_ + ": " + std::to_string(found.size()) + " sections, expected " +
                                                  std::to_string(sections.size()));
  for (std::size_t s = 0; s < sections.size(); ++s) {
    const TSection& want = sections[s];
    FUZZ_CHECK(Is(found[s]->name, want.Element.c_str()) && InNamespace(found[s]),
               kind_ + ": section " + std::to_string(s) + " is " + Text(found[s]->name) + ", expected " + want.Element);
    const std::vector<xmlNode*> codes = Elements(found[s], want.Element);
    FUZZ_CHECK(codes.size() == want.Entries.size(), kind_ + ": " + want.Element + " holds " +
                                                        std::to_string(codes.size()) + " codes, expected " +
                                                        std::to_string(want.Entries.size()));
    for (std::size_t k = 0; k < codes.size(); ++k) {
      const std::ptrdiff_t entry = want.Entries[k];
      FUZZ_CHECK(Is(codes[k]->name, "IndividualniKod") && InNamespace(codes[k]),
                 kind_ + ": unexpected element " + Text(codes[k]->name));
      std::string read;
      for (xmlNode* child = codes[k]->children; child != nullptr; child = child->next) {
        FUZZ_CHECK(child->type == XML_TEXT_NODE, kind_ + ": a code holds markup");
        if (child->content != nullptr) read += reinterpret_cast<const char*>(child->content);
      }
      const std::string& want = expected[static_cast<std::size_t>(entry)];
      FUZZ_CHECK(fuzz::Same(read, want), kind_ + ": entry " + std::to_string(entry) + " reads back as " + Hex(read) +
                                             ", expected " + Hex(want) + " from " + Show(batch.Code(entry)));
    }
  }
  xmlFreeDoc(document);
}

void DiscardMessage(void*, const char*, ...) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  xmlInitParser();
  FUZZ_CHECK(Parser() != nullptr, "no XML parser");
  xmlSetGenericErrorFunc(nullptr, DiscardMessage);
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
        if (const auto c = fuzz::FirstUnwritable(fuzz::ReferenceTrim(batch.Code(entry)))) unwritable = {{entry, *c}};
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
    CheckDocument(batch, kind, sections, expected, bytes);
  }
  if (throughFiles) std::remove(path.c_str());
  return 0;
}
