#include "options_ui/advanced_page.h"

#include "resource.h"

namespace lvx::options {

CAdvancedPage::CAdvancedPage() : controls::CGradientPage(IDD_ADVANCED_PAGE) {}

bool CAdvancedPage::OnInitDialog() {
  searchFor_.Attach(Item(IDC_ADV_SEARCH_FOR));
  noSubdirs_.SubclassDlgItem(IDC_ADV_NO_SUBDIRS, Handle());
  allowOneChar_.SubclassDlgItem(IDC_ADV_ALLOW_ONE_CHAR, Handle());
  searchFor_.Clear();
  for (const wchar_t* item : {L"Search For : Files and Folders", L"Search For : Files Only", L"Search For : Folders Only"})
    searchFor_.Add(item);
  choices_ = AdvancedChoices{};
  searchFor_.Select(0);
  return true;
}

bool CAdvancedPage::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_ADV_NO_SUBDIRS:
      if (code != BN_CLICKED) return false;
      choices_.noSubdirs = noSubdirs_.IsChecked();
      return true;
    case IDC_ADV_ALLOW_ONE_CHAR:
      if (code != BN_CLICKED) return false;
      choices_.allowOneChar = allowOneChar_.IsChecked();
      return true;
    case IDC_ADV_SEARCH_FOR: {
      if (code != CBN_SELCHANGE) return false;
      const int item = searchFor_.Selection();
      choices_.searchFor = item == 1 || item == 2 ? item : 0;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace lvx::options
