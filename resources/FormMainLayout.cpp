#include "FormMainLayout.h"

#include "ProgramIcon.h"

const TFormLayout& FormMainLayout() {
  static const TFormLayout layout = [] {
    TFormLayout l;
    l.Name = "FormMain";
    l.Left = 198;
    l.Top = 178;
    l.BorderStyle = TBorderStyle::bsSingle;
    l.BorderIcons = TBorderIcons(TBorderIcon::biSystemMenu) | TBorderIcon::biMinimize;
    l.Caption = "ポルミナ";
    l.ClientWidth = 737;
    l.ClientHeight = 510;
    l.Color = clBtnFace;
    l.Font = TFont{"ＭＳ Ｐゴシック", -12, TFontStyles(), clBlack};
    l.Scaled = false;
    l.Icon = &ProgramIcon;
    l.Controls = {
        TControlLayout{"PageMain", TControlKind::Panel, "", 24, 24, 500, 300, false, clWhite, ""},
        TControlLayout{"PntMain", TControlKind::PaintBox, "PageMain", 8, 8, 225, 233, true,
                       clBtnFace, "PntMainMouseDown"},
    };
    return l;
  }();
  return layout;
}
