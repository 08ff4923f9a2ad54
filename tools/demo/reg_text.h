// The registry as .reg text, as "wine reg export" writes it and as the demo
// installs the product's items (k-ward.reg): the keys and values the
// pictures list.
#ifndef KW_DEMO_REG_TEXT_H
#define KW_DEMO_REG_TEXT_H

#include <string>
#include <vector>

namespace kw::demo {

// {"K", key} or {"V", key, value name, data as .reg writes it}: roots
// shortened to HKCU, HKCR and HKLM, "(default)" the unnamed value's name.
// A picture holds each as one line, its parts joined by TABs.
using RegItem = std::vector<std::string>;

// Data spread over continuation lines is joined.
std::vector<RegItem> RegItems(const std::string& text);
std::string RegItemName(const RegItem& item);   // "key" or "key|value name"
std::string KeyParent(const std::string& key);  // the key it is in; a root itself
// A value's data for people: strings unescaped, in their quotes.
std::string ShownData(const std::string& data);
// The strings of REG_MULTI_SZ data as .reg writes it: hex(7):xx,xx,...
std::vector<std::string> MultiStrings(const std::string& data);

}  // namespace kw::demo

#endif
