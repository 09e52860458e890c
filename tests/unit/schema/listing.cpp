#include "unit/schema/listing.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

namespace vxtest {
namespace {

std::vector<std::string> split_tabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

std::vector<std::vector<std::string>> read_listing(const std::string& tsv_name) {
  std::ifstream in(source_path("tests/unit/schema/listings/" + tsv_name));
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    rows.push_back(split_tabs(line));
  }
  return rows;
}

std::string handler_name(const void* address) {
  if (address == nullptr) return "-";
  for (const HandlerName& h : handler_names()) {
    if (h.address == address) return h.name;
  }
  return "<unknown handler>";
}

std::string text_or_none(const char* text) { return (text == nullptr || text[0] == '\0') ? "-" : text; }

// Path of `node` below `instance`: "." for the instance itself.
std::string relative_path(hm_node* instance, hm_node* node) {
  if (node == instance) return ".";
  std::string path;
  for (hm_node* n = node; n != nullptr && n != instance; n = n->parent) {
    char shown[vx::kNameSize];
    vx::hm_instance_name(n, shown);
    path = path.empty() ? std::string(shown) : std::string(shown) + "/" + path;
    if (n->parent == n) break;
  }
  return path;
}

void preorder(hm_node* node, std::vector<hm_node*>* out) {
  out->push_back(node);
  hm_group_data* g = vx::group_data(node);
  if (node->kind != kGroup || g == nullptr) return;
  for (hm_node* c = g->first_child; c != nullptr && c != node; c = c->next) preorder(c, out);
}

class Checker {
 public:
  explicit Checker(std::string where) : where_(std::move(where)) {}
  template <typename A, typename B>
  bool eq(const char* what, const A& got, const B& want) {
    if (failed_ || got == want) return !failed_;
    std::ostringstream s;
    s << where_ << ": " << what << " is \"" << got << "\", listing says \"" << want << "\"";
    message_ = s.str();
    failed_ = true;
    return false;
  }
  bool failed() const { return failed_; }
  const std::string& message() const { return message_; }

 private:
  std::string where_;
  std::string message_;
  bool failed_ = false;
};

std::string description_of(const hm_node* n) { return n->description == nullptr ? "" : n->description; }

}  // namespace

ListingCounts CountListing(const std::string& tsv_name) {
  ListingCounts c;
  for (const auto& row : read_listing(tsv_name)) {
    if (row[0] == "instance" || row[0] == "group") ++c.groups;
    if (row[0] == "property") ++c.properties;
    if (row[0] == "action") ++c.actions;
    if (row[0] == "param") ++c.params;
  }
  return c;
}

::testing::AssertionResult MatchesListing(const std::string& tsv_name, hm_node* instance) {
  if (instance == nullptr) return ::testing::AssertionFailure() << "no instance";
  auto rows = read_listing(tsv_name);
  if (rows.empty()) return ::testing::AssertionFailure() << "listing " << tsv_name << " is empty or missing";
  std::vector<hm_node*> nodes;
  preorder(instance, &nodes);

  size_t ni = 0;
  for (size_t ri = 0; ri < rows.size(); ++ri) {
    const auto& row = rows[ri];
    const std::string& type = row[0];
    auto field = [&](size_t i) -> std::string { return i < row.size() ? row[i] : std::string("<missing field>"); };
    if (type == "param") continue;   // checked with their action
    if (ni >= nodes.size()) {
      return ::testing::AssertionFailure() << tsv_name << ": the instance has " << nodes.size()
                                           << " nodes, the listing more (next: " << field(1) << "/" << field(2) << ")";
    }
    hm_node* n = nodes[ni++];
    Checker ck(tsv_name + " line " + std::to_string(ri + 1) + " (" + relative_path(instance, n) + ")");
    if (type == "instance") {
      hm_instance_info* info = vx::instance_info(n);
      ck.eq("kind", n->kind, kGroup);
      ck.eq("name", std::string(n->name), field(1));
      ck.eq("max", info == nullptr ? -1 : static_cast<int>(info->max_instances), std::stoi(field(2)));
      ck.eq("refresh", handler_name(reinterpret_cast<const void*>(vx::group_data(n)->refresh)), field(3));
      if (field(6) != "*") ck.eq("description", description_of(n), field(6));
    } else if (type == "group") {
      ck.eq("kind", n->kind, kGroup);
      ck.eq("parent", relative_path(instance, n->parent), field(1));
      ck.eq("name", std::string(n->name), field(2));
      ck.eq("instanced", vx::instance_info(n) == nullptr, true);
      ck.eq("refresh", handler_name(reinterpret_cast<const void*>(vx::group_data(n)->refresh)), field(3));
      if (field(4) != "*") ck.eq("description", description_of(n), field(4));
    } else if (type == "property") {
      hm_property* p = vx::property_data(n);
      ck.eq("kind", n->kind, kProperty);
      if (p == nullptr) return ::testing::AssertionFailure() << tsv_name << ": property without data";
      ck.eq("parent", relative_path(instance, n->parent), field(1));
      ck.eq("name", std::string(n->name), field(2));
      ck.eq("access", p->access == kReadOnly ? std::string("ro") : std::string("rw"), field(3));
      ck.eq("handler", handler_name(reinterpret_cast<const void*>(p->handler)), field(4));
      ck.eq("vtype", std::to_string(p->vtype), field(5));
      ck.eq("min", std::to_string(p->min), field(6));
      ck.eq("max", std::to_string(p->max), field(7));
      ck.eq("default", std::string(p->value), field(8));
      ck.eq("allowed", text_or_none(p->allowed), field(9));
      if (field(10) != "*") ck.eq("description", description_of(n), field(10));
    } else if (type == "action") {
      const hm_action_descriptor* a = vx::action_data(n);
      ck.eq("kind", n->kind, kAction);
      if (a == nullptr) return ::testing::AssertionFailure() << tsv_name << ": action without descriptor";
      ck.eq("parent", relative_path(instance, n->parent), field(1));
      ck.eq("name", std::string(n->name), field(2));
      ck.eq("handler", handler_name(reinterpret_cast<const void*>(a->handler)), field(3));
      ck.eq("global", static_cast<int>(a->global), 0);
      if (field(4) != "*") ck.eq("description", description_of(n), field(4));
      // Its parameter lines follow it.
      int slots = 0;
      for (size_t pi = ri + 1; pi < rows.size() && rows[pi][0] == "param"; ++pi, ++slots) {
        const auto& pr = rows[pi];
        auto pf = [&](size_t i) -> std::string { return i < pr.size() ? pr[i] : std::string("<missing field>"); };
        int slot = std::stoi(pf(2));
        if (slot < 0 || slot >= vx::kParamCount) {
          return ::testing::AssertionFailure() << tsv_name << " line " << pi + 1 << ": bad slot";
        }
        const hm_action_param& s = a->params[slot];
        std::string where = "param " + pf(3);
        ck.eq((where + " name").c_str(), text_or_none(s.name), pf(3));
        ck.eq((where + " required").c_str(), std::to_string(s.required), pf(4));
        ck.eq((where + " vtype").c_str(), std::to_string(s.vtype), pf(5));
        ck.eq((where + " min").c_str(), std::to_string(s.min), pf(6));
        ck.eq((where + " max").c_str(), std::to_string(s.max), pf(7));
        ck.eq((where + " allowed").c_str(), text_or_none(s.allowed), pf(8));
        if (pf(9) != "*") ck.eq((where + " description").c_str(), text_or_none(s.description), pf(9));
      }
      ck.eq("param_count", a->param_count, slots);
    } else {
      return ::testing::AssertionFailure() << tsv_name << " line " << ri + 1 << ": unknown line type " << type;
    }
    if (ck.failed()) return ::testing::AssertionFailure() << ck.message();
  }
  if (ni != nodes.size()) {
    return ::testing::AssertionFailure() << tsv_name << ": the instance has " << nodes.size()
                                         << " nodes, the listing " << ni << " (first extra: "
                                         << relative_path(instance, nodes[ni]) << ")";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace vxtest
