#include "unit/schema/listing.h"

#include <fstream>

#include "support/test_support.h"

namespace vxtest {
namespace {

std::string handler_name(const void* address) {
  if (address == nullptr) return "-";
  for (const HandlerName& h : handler_names()) {
    if (h.address == address) return h.name;
  }
  return "<unknown handler>";
}

std::string text(const char* t) { return t == nullptr || t[0] == '\0' ? "-" : t; }
std::string num(int64_t n) { return std::to_string(n); }

// Path of `node` below `instance`: "." for the instance itself.
std::string path_of(hm_node* instance, hm_node* node) {
  std::string path;
  for (hm_node* n = node; n != instance && n != nullptr && n->parent != n; n = n->parent) {
    char shown[vx::kNameSize];
    vx::hm_instance_name(n, shown);
    path = path.empty() ? shown : std::string(shown) + "/" + path;
  }
  return path.empty() ? "." : path;
}

std::vector<std::string> fields_of(hm_node* instance, hm_node* n) {
  const std::string description = n->description != nullptr ? n->description : "";
  const std::string parent = path_of(instance, n->parent);
  if (n == instance) {
    const hm_instance_info* info = vx::instance_info(n);
    return {"instance", n->name, num(info != nullptr ? info->max_instances : -1),
            handler_name(reinterpret_cast<const void*>(vx::group_data(n)->refresh)), description};
  }
  if (n->kind == kGroup) {
    return {"group", parent, n->name,
            handler_name(reinterpret_cast<const void*>(vx::group_data(n)->refresh)), description};
  }
  if (const hm_property* p = n->kind == kProperty ? vx::property_data(n) : nullptr) {
    return {"property", parent, n->name, p->access == kReadOnly ? "ro" : "rw",
            handler_name(reinterpret_cast<const void*>(p->handler)), num(p->vtype), num(p->min), num(p->max),
            vx::property_value(p), text(p->allowed), description};
  }
  const hm_action_descriptor* a = vx::action_data(n);
  if (a == nullptr) return {"node of unknown kind", n->name};
  std::vector<std::string> f = {a->global ? "global action" : "action", parent, n->name,
                                handler_name(reinterpret_cast<const void*>(a->handler)), description};
  for (int i = 0; i < a->param_count; ++i) {
    const hm_action_param& s = a->params[i];
    f.push_back(text(s.name) + "|" + num(s.required) + "|" + num(s.vtype) + "|" + num(s.min) + "|" + num(s.max) +
                "|" + text(s.allowed) + "|" + text(s.description));
  }
  return f;
}

// The nodes the builder made: instances made below it later are not part of its listing.
void preorder(hm_node* node, std::vector<hm_node*>* out) {
  out->push_back(node);
  hm_group_data* g = node->kind == kGroup ? vx::group_data(node) : nullptr;
  for (hm_node* c = g != nullptr ? g->first_child : nullptr; c != nullptr && c != node; c = c->next) {
    if (c->kind != kGroup || vx::instance_info(c) == nullptr) preorder(c, out);
  }
}

// A listing field ending in "*" matches any text starting with what precedes the "*".
bool matches(const std::string& got, const std::string& want) {
  if (!want.empty() && want.back() == '*') return got.compare(0, want.size() - 1, want, 0, want.size() - 1) == 0;
  return got == want;
}

std::string joined(const std::vector<std::string>& fields) {
  std::string s;
  for (const std::string& f : fields) s += (s.empty() ? "" : "\t") + f;
  return s;
}

}  // namespace

::testing::AssertionResult MatchesListing(const std::string& tsv_name, hm_node* instance) {
  if (instance == nullptr) return ::testing::AssertionFailure() << "no instance";
  std::ifstream in(source_path("tests/unit/schema/listings/" + tsv_name));
  std::vector<hm_node*> nodes;
  preorder(instance, &nodes);
  size_t at = 0;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> want;
    for (size_t start = 0, tab;; start = tab + 1) {
      tab = line.find('\t', start);
      want.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
      if (tab == std::string::npos) break;
    }
    if (at == nodes.size()) return ::testing::AssertionFailure() << tsv_name << ":" << number << ": no node left";
    const std::vector<std::string> got = fields_of(instance, nodes[at++]);
    bool same = got.size() == want.size();
    for (size_t i = 0; same && i < got.size(); ++i) same = matches(got[i], want[i]);
    if (!same) {
      return ::testing::AssertionFailure() << tsv_name << ":" << number << ":\n  built:   " << joined(got)
                                           << "\n  listing: " << line;
    }
  }
  if (at == 0) return ::testing::AssertionFailure() << tsv_name << " is empty or missing";
  if (at != nodes.size()) {
    return ::testing::AssertionFailure() << tsv_name << " ends; next built: " << joined(fields_of(instance, nodes[at]));
  }
  return ::testing::AssertionSuccess();
}

}  // namespace vxtest
