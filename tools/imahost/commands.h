// The imahost commands that run on one named object (cli.h): authentication, IP configuration,
// login parameters (settings.cpp), and sessions, rediscovery and logical units (sessions.cpp).
// Each takes the object its first argument named and all the arguments (that name first), prints
// what it read or why a call failed, and returns the exit status: 0, 1 for a failure, 2 for a word
// it does not understand.
#pragma once

#include "tools/imahost/cli.h"

namespace imahost {

int auth_show(const On& on, const Words& args);
int auth_methods(const On& on, const Words& args);    // LIST: chap, none, chap,none ...
int auth_chap(const On& on, const Words& args);       // NAME SECRET
int auth_mutual(const On& on, const Words& args);     // NAME SECRET
int auth_mutual_off(const On& on, const Words& args);

int ip_show(const On& on, const Words& args);
int ip_address(const On& on, const Words& args);      // IPv4 or IPv6 address
int ip_mask(const On& on, const Words& args);
int ip_gateway(const On& on, const Words& args);      // IPv4 or IPv6 address
int ip_dhcp(const On& on, const Words& args);         // on | off
int ip_ipv6_auto(const On& on, const Words& args);    // off | auto | dhcp

int login_show(const On& on, const Words& args);
int login_set(const On& on, const Words& args);       // KEY VALUE

int session_list(const On& on, const Words& args);    // logical HBA or target
int session_add(const On& on, const Words& args);     // logical HBA, target or session
int session_remove(const On& on, const Words& args);
int rediscover(const On& on, const Words& args);      // physical HBA
int lun_list(const On& on, const Words& args);        // logical HBA or target

}  // namespace imahost
