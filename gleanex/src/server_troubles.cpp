// The run's end: what its Z39.50 servers could not do, told once for the whole run rather
// than for each item.
#include "main_dlg.h"

namespace {

constexpr char16_t kNotSearchedOn[] = u"%ld条记录未能在Z39.50服务器: %s上检索!";
constexpr char16_t kHitsNotFetched[] =
    u"%ld条记录在Z39.50服务器: %s上有命中，但命中记录无法取回(错误号: %ld)，未作为命中处理!";

}  // namespace

void CGleanexDlg::ReportServerTroubles() {
  u16 text;
  auto line = [&text](const u16& l) {
    if (!text.empty()) text += u'\n';
    text += l;
  };
  for (const auto& conn : connections_) {
    if (conn->notSearched > 0) line(platform::format(kNotSearchedOn, conn->notSearched, conn->host));
    if (conn->fetchFailedItems > 0)
      line(platform::format(kHitsNotFetched, conn->fetchFailedItems, conn->host, conn->lastFetchFailure));
  }
  if (!text.empty()) theReporter().Show(text);
}
