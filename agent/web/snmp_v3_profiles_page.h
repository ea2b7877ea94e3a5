#pragma once
// SnmpV3ProfilesPage: "/KOR/snmpv3_profiles.html", the agent's SNMPv3
// profiles, their assignments (the default, one address, ADDRESS/BITS) and
// the v3-only switch, as korsnmpv3 keeps them in snmpv3.conf.
// Administrators only, for reading too. GET lists them ("edit=NAME" fills
// the profile form with that profile, pass phrases left empty); a POST
// makes one change (SnmpV3ProfileForm), written through
// SnmpV3CredentialEdit and recorded as an audit event, and shows the page
// again with what was done, or with why not and the forms as they were
// typed (pass phrases excepted). No pass phrase is ever written into the
// page. The agent uses the new file from its next SNMP request on.
#include <cstdint>
#include <string>

#include "snmp_v3_profile_form.h"
#include "web_page.h"

namespace orla {

class SnmpV3ProfilesPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

  // The credentials file the pages change (the running agent's).
  static const std::string& CredentialFile();

 private:
  uint32_t ShowProfiles(const SnmpV3Credentials& credentials, const SnmpV3ProfileForm::Values& form,
                        const std::string& notice, const std::string& error);
  void AppendProfileForm(const SnmpV3ProfileForm::Values& form);
  void AppendAssignForm(const SnmpV3Credentials& credentials, const SnmpV3ProfileForm::Values& form);
};

}  // namespace orla
