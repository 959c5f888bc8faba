#include "field/SnapshotWalk.h"
#include "platform/AXNames.h"

namespace {

template <typename T>
std::optional<T> as(const std::optional<platform::AXValue>& value) {
  if (!value) return std::nullopt;
  if (auto* v = std::get_if<T>(&*value)) return *v;
  return std::nullopt;
}

}  // namespace

// Reads name of the wanted nodes that pick selects, handing each value to put.
template <typename Pick, typename Put>
bool SnapshotWalk::readSome(std::string_view name, const std::vector<int>& wanted, Pick pick,
                            Put put) {
  std::vector<size_t> at;
  std::vector<int> nodes;
  for (size_t k = 0; k < wanted.size(); ++k)
    if (pick(k)) at.push_back(k), nodes.push_back(wanted[k]);
  if (nodes.empty()) return true;
  auto values = snapshot_.read(nodes, name);
  if (!values || values->size() != nodes.size()) return false;
  for (size_t j = 0; j < at.size(); ++j)
    put(at[j], (*values)[j]);
  return true;
}

std::optional<std::vector<PageContext::Item>> SnapshotWalk::collect(int node, long budget,
                                                                    long& visited) {
  std::vector<int> kept;
  if (!visit(node, 0, visited, budget, kept) || !fetch(kept)) return std::nullopt;
  std::vector<PageContext::Item> items;
  for (int n : kept) {
    const Text& t = *texts_[n];
    if (t.text && !t.text->empty() && t.frame) items.push_back({t.frame->y, t.frame->x, *t.text});
  }
  return items;
}

bool SnapshotWalk::visit(int node, int depth, long& visited, long budget, std::vector<int>& kept) {
  if (depth > PageContext::kMaxDepth || visited >= budget) return true;
  ++visited;
  const auto& n = snapshot_.nodes()[node];
  const std::string role = n.role.value_or(std::string());
  if (role == platform::AXRoleName::kTextArea || role == platform::AXRoleName::kTextField)
    return true;
  if (role == platform::AXRoleName::kStaticText || role == platform::AXRoleName::kHeading) {
    kept.push_back(node);
    return true;
  }
  if (!n.childrenKnown) return false;
  for (int child : n.children)
    if (!visit(child, depth + 1, visited, budget, kept)) return false;
  return true;
}

// The value, else the title; the frame only of a text that is not empty.
bool SnapshotWalk::fetch(const std::vector<int>& kept) {
  texts_.resize(snapshot_.nodes().size());
  std::vector<int> wanted;
  for (int n : kept)
    if (!texts_[n]) wanted.push_back(n);
  std::vector<Text> read(wanted.size());
  auto any = [](size_t) { return true; };
  auto untitled = [&](size_t k) { return !read[k].text; };
  auto shown = [&](size_t k) { return read[k].text && !read[k].text->empty(); };
  auto text = [&](size_t k, const auto& v) { read[k].text = as<std::string>(v); };
  auto frame = [&](size_t k, const auto& v) { read[k].frame = as<platform::Rect>(v); };
  if (!readSome(platform::AXAttribute::kValue, wanted, any, text) ||
      !readSome(platform::AXAttribute::kTitle, wanted, untitled, text) ||
      !readSome(platform::AXAttribute::kFrame, wanted, shown, frame))
    return false;
  for (size_t k = 0; k < wanted.size(); ++k)
    texts_[wanted[k]] = std::move(read[k]);
  return true;
}
