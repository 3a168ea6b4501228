// The themed elements of the visual styles: the 24 element classes and, for each, an
// enumeration of its parts and states in the order of the visual-styles schema. Each
// enumeration starts with DontCare and Root (part 0) and goes on part by part, one
// value per state of the part (one for a part without states). GetElementDetails turns
// a value into its element, part number and state number (the value's place within its
// part, from 1).
#pragma once

#include "platform/rtl/Types.h"

enum class TThemedElement : Byte {
  teButton,
  teClock,
  teComboBox,
  teEdit,
  teExplorerBar,
  teHeader,
  teListView,
  teMenu,
  tePage,
  teProgress,
  teRebar,
  teScrollBar,
  teSpin,
  teStartPanel,
  teStatus,
  teTab,
  teTaskBand,
  teTaskBar,
  teToolBar,
  teToolTip,
  teTrackBar,
  teTrayNotify,
  teTreeview,
  teWindow
};
using enum TThemedElement;
inline constexpr int kThemedElementCount = 24;

struct TThemedElementDetails {
  TThemedElement Element = teButton;
  Integer Part = 0;
  Integer State = 0;
};

enum class TThemedButton : Word {
  tbButtonDontCare,
  tbButtonRoot,
  tbPushButtonNormal,
  tbPushButtonHot,
  tbPushButtonPressed,
  tbPushButtonDisabled,
  tbPushButtonDefaulted,
  tbRadioButtonUncheckedNormal,
  tbRadioButtonUncheckedHot,
  tbRadioButtonUncheckedPressed,
  tbRadioButtonUncheckedDisabled,
  tbRadioButtonCheckedNormal,
  tbRadioButtonCheckedHot,
  tbRadioButtonCheckedPressed,
  tbRadioButtonCheckedDisabled,
  tbCheckBoxUncheckedNormal,
  tbCheckBoxUncheckedHot,
  tbCheckBoxUncheckedPressed,
  tbCheckBoxUncheckedDisabled,
  tbCheckBoxCheckedNormal,
  tbCheckBoxCheckedHot,
  tbCheckBoxCheckedPressed,
  tbCheckBoxCheckedDisabled,
  tbCheckBoxMixedNormal,
  tbCheckBoxMixedHot,
  tbCheckBoxMixedPressed,
  tbCheckBoxMixedDisabled,
  tbGroupBoxNormal,
  tbGroupBoxDisabled,
  tbUserButton
};
using enum TThemedButton;

enum class TThemedClock : Word { tcClockDontCare, tcClockRoot, tcTimeNormal };
using enum TThemedClock;

enum class TThemedComboBox : Word {
  tcComboBoxDontCare,
  tcComboBoxRoot,
  tcDropDownButtonNormal,
  tcDropDownButtonHot,
  tcDropDownButtonPressed,
  tcDropDownButtonDisabled
};
using enum TThemedComboBox;

enum class TThemedEdit : Word {
  teEditDontCare,
  teEditRoot,
  teEditTextNormal,
  teEditTextHot,
  teEditTextSelected,
  teEditTextDisabled,
  teEditTextFocused,
  teEditTextReadOnly,
  teEditTextAssist,
  teEditCaret
};
using enum TThemedEdit;

enum class TThemedExplorerBar : Word {
  tebExplorerBarDontCare,
  tebExplorerBarRoot,
  tebHeaderBackgroundNormal,
  tebHeaderBackgroundHot,
  tebHeaderBackgroundPressed,
  tebHeaderCloseNormal,
  tebHeaderCloseHot,
  tebHeaderClosePressed,
  tebHeaderPinNormal,
  tebHeaderPinHot,
  tebHeaderPinPressed,
  tebHeaderPinSelectedNormal,
  tebHeaderPinSelectedHot,
  tebHeaderPinSelectedPressed,
  tebIEBarMenuNormal,
  tebIEBarMenuHot,
  tebIEBarMenuPressed,
  tebNormalGroupBackground,
  tebNormalGroupCollapseNormal,
  tebNormalGroupCollapseHot,
  tebNormalGroupCollapsePressed,
  tebNormalGroupExpandNormal,
  tebNormalGroupExpandHot,
  tebNormalGroupExpandPressed,
  tebNormalGroupHead,
  tebSpecialGroupBackground,
  tebSpecialGroupCollapseSpecial,
  tebSpecialGroupCollapseHot,
  tebSpecialGroupCollapsePressed,
  tebSpecialGroupExpandSpecial,
  tebSpecialGroupExpandHot,
  tebSpecialGroupExpandPressed,
  tebSpecialGroupHead
};
using enum TThemedExplorerBar;

enum class TThemedHeader : Word {
  thHeaderDontCare,
  thHeaderRoot,
  thHeaderItemNormal,
  thHeaderItemHot,
  thHeaderItemPressed,
  thHeaderItemLeftNormal,
  thHeaderItemLeftHot,
  thHeaderItemLeftPressed,
  thHeaderItemRightNormal,
  thHeaderItemRightHot,
  thHeaderItemRightPressed,
  thHeaderSortArrowSortedUp,
  thHeaderSortArrowSortedDown
};
using enum TThemedHeader;

enum class TThemedListview : Word {
  tlListviewDontCare,
  tlListviewRoot,
  tlListItemNormal,
  tlListItemHot,
  tlListItemSelected,
  tlListItemDisabled,
  tlListItemSelectedNotFocus,
  tlListGroup,
  tlListDetail,
  tlListSortDetail,
  tlEmptyText
};
using enum TThemedListview;

enum class TThemedMenu : Word {
  tmMenuDontCare,
  tmMenuRoot,
  tmMenuItemNormal,
  tmMenuItemSelected,
  tmMenuItemDemoted,
  tmMenuDropDown,
  tmMenuBarItem,
  tmMenuBarDropDown,
  tmChevron,
  tmSeparator
};
using enum TThemedMenu;

enum class TThemedPage : Word {
  tpPageDontCare,
  tpPageRoot,
  tpUpNormal,
  tpUpHot,
  tpUpPressed,
  tpUpDisabled,
  tpDownNormal,
  tpDownHot,
  tpDownPressed,
  tpDownDisabled,
  tpUpHorzNormal,
  tpUpHorzHot,
  tpUpHorzPressed,
  tpUpHorzDisabled,
  tpDownHorzNormal,
  tpDownHorzHot,
  tpDownHorzPressed,
  tpDownHorzDisabled
};
using enum TThemedPage;

enum class TThemedProgress : Word {
  tpProgressDontCare,
  tpProgressRoot,
  tpBar,
  tpBarVert,
  tpChunk,
  tpChunkVert
};
using enum TThemedProgress;

enum class TThemedRebar : Word {
  trRebarDontCare,
  trRebarRoot,
  trGripper,
  trGripperVert,
  trBandNormal,
  trBandHot,
  trBandPressed,
  trBandDisabled,
  trBandChecked,
  trBandHotChecked,
  trChevronNormal,
  trChevronHot,
  trChevronPressed,
  trChevronDisabled,
  trChevronVertNormal,
  trChevronVertHot,
  trChevronVertPressed,
  trChevronVertDisabled
};
using enum TThemedRebar;

enum class TThemedScrollBar : Word {
  tsScrollBarDontCare,
  tsScrollBarRoot,
  tsArrowBtnUpNormal,
  tsArrowBtnUpHot,
  tsArrowBtnUpPressed,
  tsArrowBtnUpDisabled,
  tsArrowBtnDownNormal,
  tsArrowBtnDownHot,
  tsArrowBtnDownPressed,
  tsArrowBtnDownDisabled,
  tsArrowBtnLeftNormal,
  tsArrowBtnLeftHot,
  tsArrowBtnLeftPressed,
  tsArrowBtnLeftDisabled,
  tsArrowBtnRightNormal,
  tsArrowBtnRightHot,
  tsArrowBtnRightPressed,
  tsArrowBtnRightDisabled,
  tsThumbBtnHorzNormal,
  tsThumbBtnHorzHot,
  tsThumbBtnHorzPressed,
  tsThumbBtnHorzDisabled,
  tsThumbBtnVertNormal,
  tsThumbBtnVertHot,
  tsThumbBtnVertPressed,
  tsThumbBtnVertDisabled,
  tsLowerTrackHorzNormal,
  tsLowerTrackHorzHot,
  tsLowerTrackHorzPressed,
  tsLowerTrackHorzDisabled,
  tsUpperTrackHorzNormal,
  tsUpperTrackHorzHot,
  tsUpperTrackHorzPressed,
  tsUpperTrackHorzDisabled,
  tsLowerTrackVertNormal,
  tsLowerTrackVertHot,
  tsLowerTrackVertPressed,
  tsLowerTrackVertDisabled,
  tsUpperTrackVertNormal,
  tsUpperTrackVertHot,
  tsUpperTrackVertPressed,
  tsUpperTrackVertDisabled,
  tsGripperHorzNormal,
  tsGripperHorzHot,
  tsGripperHorzPressed,
  tsGripperHorzDisabled,
  tsGripperVertNormal,
  tsGripperVertHot,
  tsGripperVertPressed,
  tsGripperVertDisabled,
  tsSizeBoxRightAlign,
  tsSizeBoxLeftAlign
};
using enum TThemedScrollBar;

enum class TThemedSpin : Word {
  tsSpinDontCare,
  tsSpinRoot,
  tsUpNormal,
  tsUpHot,
  tsUpPressed,
  tsUpDisabled,
  tsDownNormal,
  tsDownHot,
  tsDownPressed,
  tsDownDisabled,
  tsUpHorzNormal,
  tsUpHorzHot,
  tsUpHorzPressed,
  tsUpHorzDisabled,
  tsDownHorzNormal,
  tsDownHorzHot,
  tsDownHorzPressed,
  tsDownHorzDisabled
};
using enum TThemedSpin;

enum class TThemedStartPanel : Word {
  tspStartPanelDontCare,
  tspStartPanelRoot,
  tspUserPane,
  tspMorePrograms,
  tspMoreProgramsArrowNormal,
  tspMoreProgramsArrowHot,
  tspMoreProgramsArrowPressed,
  tspProgList,
  tspProgListSeparator,
  tspPlacesList,
  tspPlacesListSeparator,
  tspLogOff,
  tspLogOffButtonsNormal,
  tspLogOffButtonsHot,
  tspLogOffButtonsPressed,
  tspUserPicture,
  tspPreview
};
using enum TThemedStartPanel;

enum class TThemedStatus : Word {
  tsStatusDontCare,
  tsStatusRoot,
  tsPane,
  tsGripperPane,
  tsGripper
};
using enum TThemedStatus;

enum class TThemedTab : Word {
  ttTabDontCare,
  ttTabRoot,
  ttTabItemNormal,
  ttTabItemHot,
  ttTabItemSelected,
  ttTabItemDisabled,
  ttTabItemFocused,
  ttTabItemLeftEdgeNormal,
  ttTabItemLeftEdgeHot,
  ttTabItemLeftEdgeSelected,
  ttTabItemLeftEdgeDisabled,
  ttTabItemLeftEdgeFocused,
  ttTabItemRightEdgeNormal,
  ttTabItemRightEdgeHot,
  ttTabItemRightEdgeSelected,
  ttTabItemRightEdgeDisabled,
  ttTabItemRightEdgeFocused,
  ttTabItemBothEdgeNormal,
  ttTabItemBothEdgeHot,
  ttTabItemBothEdgeSelected,
  ttTabItemBothEdgeDisabled,
  ttTabItemBothEdgeFocused,
  ttTopTabItemNormal,
  ttTopTabItemHot,
  ttTopTabItemSelected,
  ttTopTabItemDisabled,
  ttTopTabItemFocused,
  ttTopTabItemLeftEdgeNormal,
  ttTopTabItemLeftEdgeHot,
  ttTopTabItemLeftEdgeSelected,
  ttTopTabItemLeftEdgeDisabled,
  ttTopTabItemLeftEdgeFocused,
  ttTopTabItemRightEdgeNormal,
  ttTopTabItemRightEdgeHot,
  ttTopTabItemRightEdgeSelected,
  ttTopTabItemRightEdgeDisabled,
  ttTopTabItemRightEdgeFocused,
  ttTopTabItemBothEdgeNormal,
  ttTopTabItemBothEdgeHot,
  ttTopTabItemBothEdgeSelected,
  ttTopTabItemBothEdgeDisabled,
  ttTopTabItemBothEdgeFocused,
  ttPane,
  ttBody
};
using enum TThemedTab;

enum class TThemedTaskBand : Word {
  ttbTaskBandDontCare,
  ttbTaskBandRoot,
  ttbGroupCount,
  ttbFlashButton,
  ttpFlashButtonGroupMenu
};
using enum TThemedTaskBand;

enum class TThemedTaskBar : Word { ttTaskBarDontCare, ttTaskBarRoot, ttbTimeNormal };
using enum TThemedTaskBar;

enum class TThemedToolBar : Word {
  ttbToolBarDontCare,
  ttbToolBarRoot,
  ttbButtonNormal,
  ttbButtonHot,
  ttbButtonPressed,
  ttbButtonDisabled,
  ttbButtonChecked,
  ttbButtonCheckedHot,
  ttbDropDownButtonNormal,
  ttbDropDownButtonHot,
  ttbDropDownButtonPressed,
  ttbDropDownButtonDisabled,
  ttbDropDownButtonChecked,
  ttbDropDownButtonCheckedHot,
  ttbSplitButtonNormal,
  ttbSplitButtonHot,
  ttbSplitButtonPressed,
  ttbSplitButtonDisabled,
  ttbSplitButtonChecked,
  ttbSplitButtonCheckedHot,
  ttbSplitButtonDropDownNormal,
  ttbSplitButtonDropDownHot,
  ttbSplitButtonDropDownPressed,
  ttbSplitButtonDropDownDisabled,
  ttbSplitButtonDropDownChecked,
  ttbSplitButtonDropDownCheckedHot,
  ttbSeparatorNormal,
  ttbSeparatorHot,
  ttbSeparatorPressed,
  ttbSeparatorDisabled,
  ttbSeparatorChecked,
  ttbSeparatorCheckedHot,
  ttbSeparatorVertNormal,
  ttbSeparatorVertHot,
  ttbSeparatorVertPressed,
  ttbSeparatorVertDisabled,
  ttbSeparatorVertChecked,
  ttbSeparatorVertCheckedHot
};
using enum TThemedToolBar;

enum class TThemedToolTip : Word {
  tttToolTipDontCare,
  tttToolTipRoot,
  tttStandardNormal,
  tttStandardLink,
  tttStandardTitleNormal,
  tttStandardTitleLink,
  tttBaloonNormal,
  tttBaloonLink,
  tttBaloonTitleNormal,
  tttBaloonTitleLink,
  tttCloseNormal,
  tttCloseHot,
  tttClosePressed
};
using enum TThemedToolTip;

enum class TThemedTrackBar : Word {
  ttbTrackBarDontCare,
  ttbTrackBarRoot,
  ttbTrack,
  ttbTrackVert,
  ttbThumbNormal,
  ttbThumbHot,
  ttbThumbPressed,
  ttbThumbFocused,
  ttbThumbDisabled,
  ttbThumbBottomNormal,
  ttbThumbBottomHot,
  ttbThumbBottomPressed,
  ttbThumbBottomFocused,
  ttbThumbBottomDisabled,
  ttbThumbTopNormal,
  ttbThumbTopHot,
  ttbThumbTopPressed,
  ttbThumbTopFocused,
  ttbThumbTopDisabled,
  ttbThumbVertNormal,
  ttbThumbVertHot,
  ttbThumbVertPressed,
  ttbThumbVertFocused,
  ttbThumbVertDisabled,
  ttbThumbLeftNormal,
  ttbThumbLeftHot,
  ttbThumbLeftPressed,
  ttbThumbLeftFocused,
  ttbThumbLeftDisabled,
  ttbThumbRightNormal,
  ttbThumbRightHot,
  ttbThumbRightPressed,
  ttbThumbRightFocused,
  ttbThumbRightDisabled,
  ttbThumbTics,
  ttbThumbTicsVert
};
using enum TThemedTrackBar;

enum class TThemedTrayNotify : Word {
  ttnTrayNotifyDontCare,
  ttnTrayNotifyRoot,
  ttnBackground,
  ttnAnimBackground
};
using enum TThemedTrayNotify;

enum class TThemedTreeview : Word {
  ttTreeviewDontCare,
  ttTreeviewRoot,
  ttItemNormal,
  ttItemHot,
  ttItemSelected,
  ttItemDisabled,
  ttItemSelectedNotFocus,
  ttGlyphClosed,
  ttGlyphOpened,
  ttBranch
};
using enum TThemedTreeview;

enum class TThemedWindow : Word {
  twWindowDontCare,
  twWindowRoot,
  twCaptionActive,
  twCaptionInactive,
  twCaptionDisabled,
  twSmallCaptionActive,
  twSmallCaptionInactive,
  twSmallCaptionDisabled,
  twMinCaptionActive,
  twMinCaptionInactive,
  twMinCaptionDisabled,
  twSmallMinCaptionActive,
  twSmallMinCaptionInactive,
  twSmallMinCaptionDisabled,
  twMaxCaptionActive,
  twMaxCaptionInactive,
  twMaxCaptionDisabled,
  twSmallMaxCaptionActive,
  twSmallMaxCaptionInactive,
  twSmallMaxCaptionDisabled,
  twFrameLeftActive,
  twFrameLeftInactive,
  twFrameRightActive,
  twFrameRightInactive,
  twFrameBottomActive,
  twFrameBottomInactive,
  twSmallFrameLeftActive,
  twSmallFrameLeftInactive,
  twSmallFrameRightActive,
  twSmallFrameRightInactive,
  twSmallFrameBottomActive,
  twSmallFrameBottomInactive,
  twSysButtonNormal,
  twSysButtonHot,
  twSysButtonPushed,
  twSysButtonDisabled,
  twSysButtonInactive,
  twMDISysButtonNormal,
  twMDISysButtonHot,
  twMDISysButtonPushed,
  twMDISysButtonDisabled,
  twMDISysButtonInactive,
  twMinButtonNormal,
  twMinButtonHot,
  twMinButtonPushed,
  twMinButtonDisabled,
  twMinButtonInactive,
  twMDIMinButtonNormal,
  twMDIMinButtonHot,
  twMDIMinButtonPushed,
  twMDIMinButtonDisabled,
  twMDIMinButtonInactive,
  twMaxButtonNormal,
  twMaxButtonHot,
  twMaxButtonPushed,
  twMaxButtonDisabled,
  twMaxButtonInactive,
  twCloseButtonNormal,
  twCloseButtonHot,
  twCloseButtonPushed,
  twCloseButtonDisabled,
  twCloseButtonInactive,
  twSmallCloseButtonNormal,
  twSmallCloseButtonHot,
  twSmallCloseButtonPushed,
  twSmallCloseButtonDisabled,
  twSmallCloseButtonInactive,
  twMDICloseButtonNormal,
  twMDICloseButtonHot,
  twMDICloseButtonPushed,
  twMDICloseButtonDisabled,
  twMDICloseButtonInactive,
  twRestoreButtonNormal,
  twRestoreButtonHot,
  twRestoreButtonPushed,
  twRestoreButtonDisabled,
  twRestoreButtonInactive,
  twMDIRestoreButtonNormal,
  twMDIRestoreButtonHot,
  twMDIRestoreButtonPushed,
  twMDIRestoreButtonDisabled,
  twMDIRestoreButtonInactive,
  twHelpButtonNormal,
  twHelpButtonHot,
  twHelpButtonPushed,
  twHelpButtonDisabled,
  twHelpButtonInactive,
  twMDIHelpButtonNormal,
  twMDIHelpButtonHot,
  twMDIHelpButtonPushed,
  twMDIHelpButtonDisabled,
  twMDIHelpButtonInactive,
  twHorzScrollNormal,
  twHorzScrollHot,
  twHorzScrollPushed,
  twHorzScrollDisabled,
  twHorzThumbNormal,
  twHorzThumbHot,
  twHorzThumbPushed,
  twHorzThumbDisabled,
  twVertScrollNormal,
  twVertScrollHot,
  twVertScrollPushed,
  twVertScrollDisabled,
  twVertThumbNormal,
  twVertThumbHot,
  twVertThumbPushed,
  twVertThumbDisabled,
  twDialog,
  twCaptionSizingTemplate,
  twSmallCaptionSizingTemplate,
  twFrameLeftSizingTemplate,
  twSmallFrameLeftSizingTemplate,
  twFrameRightSizingTemplate,
  twSmallFrameRightSizingTemplate,
  twFrameBottomSizingTemplate,
  twSmallFrameBottomSizingTemplate
};
using enum TThemedWindow;

// One overload per enumeration.
TThemedElementDetails GetElementDetails(TThemedButton value);
TThemedElementDetails GetElementDetails(TThemedClock value);
TThemedElementDetails GetElementDetails(TThemedComboBox value);
TThemedElementDetails GetElementDetails(TThemedEdit value);
TThemedElementDetails GetElementDetails(TThemedExplorerBar value);
TThemedElementDetails GetElementDetails(TThemedHeader value);
TThemedElementDetails GetElementDetails(TThemedListview value);
TThemedElementDetails GetElementDetails(TThemedMenu value);
TThemedElementDetails GetElementDetails(TThemedPage value);
TThemedElementDetails GetElementDetails(TThemedProgress value);
TThemedElementDetails GetElementDetails(TThemedRebar value);
TThemedElementDetails GetElementDetails(TThemedScrollBar value);
TThemedElementDetails GetElementDetails(TThemedSpin value);
TThemedElementDetails GetElementDetails(TThemedStartPanel value);
TThemedElementDetails GetElementDetails(TThemedStatus value);
TThemedElementDetails GetElementDetails(TThemedTab value);
TThemedElementDetails GetElementDetails(TThemedTaskBand value);
TThemedElementDetails GetElementDetails(TThemedTaskBar value);
TThemedElementDetails GetElementDetails(TThemedToolBar value);
TThemedElementDetails GetElementDetails(TThemedToolTip value);
TThemedElementDetails GetElementDetails(TThemedTrackBar value);
TThemedElementDetails GetElementDetails(TThemedTrayNotify value);
TThemedElementDetails GetElementDetails(TThemedTreeview value);
TThemedElementDetails GetElementDetails(TThemedWindow value);
