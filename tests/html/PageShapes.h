// The pages the application gives its HTML controls, in the shapes it writes them: a
// channel page (a table with the feed's picture beside its title, description and
// the feed's address as a link) and an item page (title, date, body and the links to
// the site, the item and its file).
#pragma once

#include <string>

namespace htmltest {

inline std::string ChannelPage(const std::string& title, const std::string& description,
                               const std::string& feedAddress, const std::string& picturePath) {
  std::string picture;
  if (!picturePath.empty()) picture = "<img src=\"" + picturePath + "\" align=\"top\">";
  std::string page = "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n";
  page += "<table width=\"100%\" border=\"0\" cellspacing=\"3\"> <tr> <td valign=\"top\">";
  page += picture;
  page += "</td> <td valign=\"top\"> <font size='5' color='#000000'><b>" + title + "</b><br>";
  page += "<font size='2' color='#000000'>" + description;
  page += "<p><font size='0' color='#808080'><a href=" + feedAddress + ">" + feedAddress + "</a></td> </tr> </table>";
  return page;
}

inline std::string ItemPage(const std::string& channelTitle, const std::string& itemTitle,
                            const std::string& site, const std::string& link, const std::string& file) {
  std::string page = "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n";
  page += "<font size='5' color='#000000'><b>" + channelTitle + "</b> - " + itemTitle + "<br>\r\n";
  page += "<font size='1' color='#808080'>Fri, 11 Dec 2026 09:00:00 GMT<font size=\"2\" color=\"#000000\"><p>\r\n";
  page += "The episode is about larks, their songs and where they nest.\r\n";
  page += "<p><font size='0' color='#808080'>Link to ";
  if (!site.empty()) page += "\r\n<a href=" + site + "><font color='#808080'>site</font></a> ";
  if (!link.empty()) page += "\r\n<a href=" + link + "><font color='#808080'>item</a> ";
  if (!file.empty()) page += "\r\n<a href=" + file + "><font color='#808080'>file</a>";
  return page;
}

}  // namespace htmltest
