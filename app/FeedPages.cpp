// The channel and item page templates.
#include "app/FeedPages.h"

#include "platform/rtl/Strings.h"

namespace {
constexpr char kLineBreak[] = "\r\n";
constexpr char kPageFont[] = "<font face=\"Arial\" size=\"2\" color=\"#000000\">";
}  // namespace

AnsiString ChannelPageText(const AnsiString& title, const AnsiString& description,
                           const AnsiString& feedAddress, const AnsiString& imageAddress,
                           const AnsiString& programFolder) {
  AnsiString picture;
  if (!imageAddress.empty())
    picture = "<img src=\"" + programFolder + "temp.bmp" + "\" align=\"top\">";
  AnsiString page = kPageFont;
  page += kLineBreak;
  page += "<table width=\"100%\" border=\"0\" cellspacing=\"3\"> <tr> <td valign=\"top\">";
  page += picture;
  page += "</td> <td valign=\"top\"> <font size='5' color='#000000'><b>";
  page += title;
  page += "</b><br>";
  page += "<font size='2' color='#000000'>";
  page += description;
  page += "<p><font size='0' color='#808080'><a href=";
  page += feedAddress;
  page += ">";
  page += feedAddress;
  page += "</a></td> </tr> </table>";
  return page;
}

AnsiString ItemPageText(const AnsiString& channelTitle, const AnsiString& channelLink,
                        const TFeedItem& item) {
  AnsiString page = kPageFont;
  page += kLineBreak;
  page += "<font size='5' color='#000000'><b>" + channelTitle + "</b> - " + item.Title + "<br>";
  page += kLineBreak;
  page += "<font size='1' color='#808080'>" + item.Date +
          "<font size=\"2\" color=\"#000000\"><p>";
  page += kLineBreak;
  page += item.Body();
  page += kLineBreak;
  page += "<p><font size='0' color='#808080'>Link to ";
  if (!channelLink.empty()) {
    page += kLineBreak;
    page += "<a href=" + channelLink + "><font color='#808080'>site</font></a> ";
  }
  if (!item.Link.empty()) {
    page += kLineBreak;
    page += "<a href=" + item.Link + "><font color='#808080'>item</a> ";
  }
  if (!item.Enclosure.empty()) {
    page += kLineBreak;
    page += "<a href=" + item.Enclosure + "><font color='#808080'>file</a>";
  }
  return page;
}

AnsiString ItemTabCaption(const TFeedItem& item) {
  return Copy(item.Date.empty() ? item.Title : item.Date, 1, 11);
}
