#include "platform/linux/AtspiEmbeddedText.h"

#include <map>

#include "platform/linux/AtspiTextAccess.h"

namespace AtspiEmbeddedText {

using namespace AtspiCalls;
using linuxport::AtspiFlatText;

namespace {

constexpr std::string_view kEmbedded = "\xEF\xBF\xBC";  // U+FFFC, an embedded object
constexpr int kMaxFlatObjects = 400;
constexpr int kMaxFlatDepth = 16;

bool isBlock(AtspiAccessible* a) {
  switch (roleOf(a).value_or(ATSPI_ROLE_INVALID)) {
    case ATSPI_ROLE_PARAGRAPH:
    case ATSPI_ROLE_SECTION:
    case ATSPI_ROLE_HEADING:
    case ATSPI_ROLE_BLOCK_QUOTE:
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_ITEM:
    case ATSPI_ROLE_TABLE:
    case ATSPI_ROLE_TABLE_ROW:
    case ATSPI_ROLE_ARTICLE:
    case ATSPI_ROLE_FORM:
      return true;
    default:
      return false;
  }
}

long countEmbedded(std::string_view text) {
  long n = 0;
  for (size_t at = text.find(kEmbedded); at != std::string_view::npos;
       at = text.find(kEmbedded, at + kEmbedded.size()))
    ++n;
  return n;
}

// The embedded objects by their offsets in the text; absent unless there are `count`.
std::optional<std::map<long, GPtr<AtspiAccessible>>> embeddedObjects(AtspiAccessible* a,
                                                                     long count) {
  std::map<long, GPtr<AtspiAccessible>> objects;
  if (count == 0) return objects;
  GPtr<AtspiHypertext> hypertext(atspi_accessible_get_hypertext_iface(a), g_object_unref);
  if (!hypertext) return std::nullopt;
  GError* error = nullptr;
  gint links = atspi_hypertext_get_n_links(hypertext.get(), &error);
  if (failed(error) || links != count) return std::nullopt;
  for (gint i = 0; i < links; ++i) {
    GPtr<AtspiHyperlink> link(atspi_hypertext_get_link(hypertext.get(), i, &error), g_object_unref);
    if (failed(error) || !link) return std::nullopt;
    gint at = atspi_hyperlink_get_start_index(link.get(), &error);
    if (failed(error)) return std::nullopt;
    GPtr<AtspiAccessible> object(atspi_hyperlink_get_object(link.get(), 0, &error), g_object_unref);
    if (failed(error) || !object) return std::nullopt;
    objects.emplace(at, std::move(object));
  }
  return objects;
}

// Adds an object and, in place of each embedded object, that object's text (the objects come
// from the hypertext links: a browser also lists its plain text runs as children).
bool addFlat(Flat& flat, AtspiAccessible* a, std::string_view text, long at, bool block,
             int depth) {
  if (flat.objects.size() >= kMaxFlatObjects || depth > kMaxFlatDepth) return false;
  flat.text.open(at, block);
  flat.objects.emplace_back(ATSPI_TEXT(g_object_ref(a)), g_object_unref);
  auto embedded = embeddedObjects(a, countEmbedded(text));
  if (!embedded) return false;
  long offset = 0;
  while (!text.empty()) {
    size_t next = text.find(kEmbedded);
    std::string_view run = text.substr(0, next);
    flat.text.append(offset, run);
    offset += static_cast<long>(g_utf8_strlen(run.data(), static_cast<gssize>(run.size())));
    if (next == std::string_view::npos) break;
    auto found = embedded->find(offset);
    if (found == embedded->end()) return false;
    auto& child = found->second;
    // Asked without looking up its interfaces first: an object without text answers an error.
    std::string own = AtspiTextAccess::wholeText(ATSPI_TEXT(child.get())).value_or("");
    if (!addFlat(flat, child.get(), own, offset, isBlock(child.get()), depth + 1)) return false;
    ++offset;
    text.remove_prefix(next + kEmbedded.size());
  }
  flat.text.close();
  return true;
}

// The last flattening, kept until the main loop turns: a field's value, selection and range
// are read one after another, and the objects of a long draft take a call or more each.
struct LastFlat {
  GPtr<AtspiAccessible> element{nullptr, g_object_unref};
  std::string text;
  std::shared_ptr<const Flat> flat;
  guint drop = 0;
};
LastFlat& lastFlat() {
  static LastFlat last;
  return last;
}

gboolean dropLastFlat(gpointer) {
  LastFlat& last = lastFlat();
  last.element.reset();
  last.flat.reset();
  last.drop = 0;
  return G_SOURCE_REMOVE;
}

}  // namespace

bool holdsEmbedded(std::string_view text) {
  return text.find(kEmbedded) != std::string_view::npos;
}

std::shared_ptr<const Flat> flatten(AtspiText* t, const std::string& text) {
  if (!holdsEmbedded(text)) return nullptr;
  AtspiAccessible* element = ATSPI_ACCESSIBLE(t);
  LastFlat& last = lastFlat();
  if (last.flat && last.element.get() == element && last.text == text) return last.flat;
  auto flat = std::make_shared<Flat>();
  if (!addFlat(*flat, element, text, 0, false, 0)) return nullptr;
  last.element.reset(static_cast<AtspiAccessible*>(g_object_ref(element)));
  last.text = text;
  last.flat = flat;
  if (!last.drop) last.drop = g_idle_add_full(G_PRIORITY_HIGH, dropLastFlat, nullptr, nullptr);
  return flat;
}

namespace {

std::optional<AtspiFlatText::Span> ownSelection(AtspiText* t) {
  if (!t) return std::nullopt;
  GError* error = nullptr;
  gint n = atspi_text_get_n_selections(t, &error);
  if (failed(error) || n <= 0) return std::nullopt;
  AtspiRange* range = atspi_text_get_selection(t, 0, &error);
  if (failed(error) || !range) {
    g_free(range);
    return std::nullopt;
  }
  AtspiFlatText::Span span{std::min(range->start_offset, range->end_offset),
                           std::max(range->start_offset, range->end_offset)};
  g_free(range);
  return span;
}

std::optional<long> ownCaret(AtspiText* t) {
  if (!t) return std::nullopt;
  GError* error = nullptr;
  gint caret = atspi_text_get_caret_offset(t, &error);
  if (failed(error) || caret < 0) return std::nullopt;
  return caret;
}

}  // namespace

std::optional<AtspiFlatText::Span> selectionOrCaret(const Flat& flat) {
  auto objectText = [&](int object) {
    return object >= 0 && object < static_cast<int>(flat.objects.size())
               ? flat.objects[object].get()
               : nullptr;
  };
  auto selection = flat.text.selection([&](int o) { return ownSelection(objectText(o)); });
  if (selection.kind == AtspiFlatText::Selection::hidden) return std::nullopt;
  if (selection.kind == AtspiFlatText::Selection::known) return selection.span;
  long at = flat.text.caret([&](int o) { return ownCaret(objectText(o)); }).value_or(0);
  return AtspiFlatText::Span{at, at};
}

}  // namespace AtspiEmbeddedText
