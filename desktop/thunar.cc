#include "desktop/entry_file.h"

#include "catalogues/translation.h"
#include "host/escaped_text.h"
#include "host/lines.h"

#include <glib.h>

#include <vector>

namespace {

// The line that marks an action as arkiva's: its unique id.
std::string UniqueIdLine(const Entry& entry) {
  return std::string("<unique-id>") + entry.file_stem + "</unique-id>";
}
const char kEmptyActions[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";

// `element` in every language the catalogues have for `english`, as
// Thunar reads them: <name xml:lang="de">.
std::string TranslatedElements(const char* element, const char* english) {
  std::string lines;
  for (const LanguageText& text : EveryTranslation(english))
    lines += std::string("\t<") + element + " xml:lang=\"" + text.language + "\">" +
             MarkupText(text.text) + "</" + element + ">\n";
  return lines;
}

// Thunar's own layout: one element a line, so that arkiva's action is a
// block of lines that remove-menu can take out again with the same rule.
// Its unique id marks it as arkiva's; Thunar shows the description in its
// status bar, so that is for users. A range of "2-" and a number: two or
// more items (Thunar reads both bounds as numbers).
// clang-format off
// (one line of the file a line here)
std::string ActionBlock(const std::string& program, const Entry& entry) {
  return "<action>\n"
         "\t<icon>package-x-generic</icon>\n"
         "\t<name>" + std::string(entry.label) + "</name>\n" +
         TranslatedElements("name", entry.label) +
         "\t<submenu></submenu>\n"
         "\t" + UniqueIdLine(entry) + "\n"
         "\t<command>" + MarkupText(EntryCommand(program, entry)) + "</command>\n"
         "\t<description>" + entry.description + "</description>\n" +
         TranslatedElements("description", entry.description) +
         "\t<range>" + (entry.many ? "2-2147483647" : "") + "</range>\n"
         "\t<patterns>*</patterns>\n"
         "\t<directories/>\n"
         "\t<audio-files/>\n"
         "\t<image-files/>\n"
         "\t<other-files/>\n"
         "\t<text-files/>\n"
         "\t<video-files/>\n"
         "</action>\n";
}
// clang-format on

std::string Trimmed(const std::string& line) {
  size_t start = line.find_first_not_of(" \t\r");
  size_t end = line.find_last_not_of(" \t\r");
  return start == std::string::npos ? "" : line.substr(start, end - start + 1);
}

// Whether Thunar reads `text` as its list of actions: well-formed to GLib's
// markup parser, with which Thunar itself reads uca.xml, and rooted at
// <actions>.
bool IsActionList(const std::string& text) {
  std::string root;
  GMarkupParser parser = {};
  parser.start_element = [](GMarkupParseContext*, const gchar* name, const gchar**, const gchar**,
                            gpointer data, GError**) {
    std::string* first = static_cast<std::string*>(data);
    if (first->empty())
      *first = name;
  };
  GMarkupParseContext* context =
      g_markup_parse_context_new(&parser, static_cast<GMarkupParseFlags>(0), &root, nullptr);
  bool whole = g_markup_parse_context_parse(context, text.data(), text.size(), nullptr) &&
               g_markup_parse_context_end_parse(context, nullptr);
  g_markup_parse_context_free(context);
  return whole && root == "actions";
}

}  // namespace

std::string ThunarActionsPath(const std::string& config_home) {
  return config_home + "/Thunar/uca.xml";
}

std::string RemoveThunarAction(const std::string& actions) {
  std::vector<std::string> lines = SplitLines(actions);
  std::string kept;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (Trimmed(lines[i]) == "<action>") {
      size_t end = i + 1;
      bool ours = false;
      for (; end < lines.size() && Trimmed(lines[end]) != "</action>"; ++end) {
        if (Trimmed(lines[end]) == UniqueIdLine(kEachEntry) ||
            Trimmed(lines[end]) == UniqueIdLine(kOneEntry))
          ours = true;
      }
      if (ours && end < lines.size()) {
        i = end;
        continue;
      }
    }
    kept += lines[i] + "\n";
  }
  if (!actions.empty() && actions.back() != '\n' && !kept.empty())
    kept.pop_back();
  return kept;
}

bool AddThunarAction(const std::string& actions, const std::string& program, std::string* merged,
                     std::string* why) {
  std::string base = RemoveThunarAction(actions.empty() ? kEmptyActions : actions);
  if (!IsActionList(base)) {
    *why = "it is not a list of Thunar's actions that arkiva can read; it was left as it is.";
    return false;
  }
  // Before the closing tag, on a line of its own.
  size_t close = base.rfind("</actions>");
  if (close == std::string::npos) {
    *why = "it has no closing </actions> tag to add arkiva's action before; it was left as it is.";
    return false;
  }
  size_t line_start = base.rfind('\n', close);
  line_start = line_start == std::string::npos ? 0 : line_start + 1;
  bool own_line = Trimmed(base.substr(line_start, close - line_start)).empty();
  size_t at = own_line ? line_start : close;
  *merged = base.substr(0, at) + (own_line ? "" : "\n") + ActionBlock(program, kEachEntry) +
            ActionBlock(program, kOneEntry) + base.substr(at);
  if (!IsActionList(*merged)) {
    *why = "arkiva's action could not be added to it; it was left as it is.";
    return false;
  }
  return true;
}
