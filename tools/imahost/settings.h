// The imahost commands for authentication, IP configuration and login parameters. Each takes the
// started host, the object its first argument names and all its arguments (that object's text
// first), prints what it read or says why a call failed, and returns the exit status.
#pragma once

#include <string>
#include <vector>

#include "tools/imahost/imahost.h"

namespace imahost {

using Words = std::vector<std::string>;

int auth_show(const Host& host, const IMA_OID& oid, const Words& args);
int auth_methods(const Host& host, const IMA_OID& oid, const Words& args);   // LIST: chap, none, chap,none ...
int auth_chap(const Host& host, const IMA_OID& oid, const Words& args);      // NAME SECRET
int auth_mutual(const Host& host, const IMA_OID& oid, const Words& args);    // NAME SECRET
int auth_mutual_off(const Host& host, const IMA_OID& oid, const Words& args);

int ip_show(const Host& host, const IMA_OID& oid, const Words& args);
int ip_address(const Host& host, const IMA_OID& oid, const Words& args);     // IPv4 or IPv6 address
int ip_mask(const Host& host, const IMA_OID& oid, const Words& args);
int ip_gateway(const Host& host, const IMA_OID& oid, const Words& args);     // IPv4 or IPv6 address
int ip_dhcp(const Host& host, const IMA_OID& oid, const Words& args);        // on | off
int ip_ipv6_auto(const Host& host, const IMA_OID& oid, const Words& args);   // off | auto | dhcp

int login_show(const Host& host, const IMA_OID& oid, const Words& args);
int login_set(const Host& host, const IMA_OID& oid, const Words& args);      // KEY VALUE

}  // namespace imahost
