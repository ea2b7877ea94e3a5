#include "about_page.h"

#include "agent/core/agent_revision.h"

namespace orla {

uint32_t AboutPage::HandleGet() {
  Append("<html>");
  Append("<head>");
  Append("<style type=\"text/css\">");
  Append("td {");
  Append("font-family: Verdana;");
  Append("font-size: 12pt;");
  Append("}");
  Append("</style>");
  Append("<title>About Tarvik Marrowline Tape Controller Management</title>");
  Append("<script language=javascript1.2 src='orla_utilities.js'> </script>");
  Append("<script language=javascript1.2> if (navigator.appName == \"Microsoft Internet Explorer\") {");
  Append("includeStyleSheet(); window.focus();");
  Append("} </script></head>");
  Append("<body class=about>");
  // The trademark sign as a character reference: the page declares no
  // character set, and a reference reads the same in every one.
  Append("<h2 class=header align=\"center\">Tarvik Marrowline&#8482;<br>");
  Append("Tape Controller Management<br>");
  AppendFormat("Version %s</h2><br>", kAgentRevision);
  Append("<center><table border=\"5\"><tr>");
  Append("<td><p>This program is protected by copyright law and international treaties. Unauthorized "
         "reproduction or distribution of this program, or of any part of it, may result in civil and "
         "criminal penalties, and will be prosecuted to the maximum extent possible under the law.</p>"
         "<p>The program is provided under the terms of the license agreement that came with it. Except as "
         "that agreement states, it is provided as is, without warranty of any kind, express or implied, "
         "including the warranties of merchantability and fitness for a particular purpose.</p>");
  Append("</td></tr></table></center><br>");
  Append("<script>if (navigator.appName == \"Netscape\") {");
  Append("document.write(\"<form><center><span style=font-size:11pt><input type=button value=' Ok ' name=Ok "
         "onclick=parent.close()></span></center></form></body></html>\")");
  Append("} else {");
  Append("document.write(\"<form><center><input type=button value=' Ok ' name=Ok "
         "onclick=parent.close()></center></form></body></html>\")");
  Append("} </script>");
  return SendPage();
}

}  // namespace orla
