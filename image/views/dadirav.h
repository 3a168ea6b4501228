// The facade view: a single-image view that has its input/output and processing
// components from the start and offers their operations as its own, each passed on
// unchanged to the component that does it.
#pragma once

#include <utility>

#include "image/io/dadiravio.h"
#include "image/proc/dadiravproc_component.h"
#include "image/views/dadiravview.h"

class TDadirAv : public TDadirAvView {
 public:
  LARK_CLASS_NAME(TDadirAv)
  explicit TDadirAv(TComponent* owner);
  ~TDadirAv() override = default;

  // The input/output parameters of a TDadirAv or a TDadirAvIO, then the image.
  void Assign(TObject* source) override;
  void AssignIOParams(TObject* source);

  // --- Properties kept by the components
  bool GetAutoUndo() { return GetDadirAvProc()->GetAutoUndo(); }
  void SetAutoUndo(bool value) { GetDadirAvProc()->SetAutoUndo(value); }
  TMsgLanguage GetMsgLanguage() { return GetDadirAvProc()->GetMsgLanguage(); }
  void SetMsgLanguage(TMsgLanguage value) { GetDadirAvProc()->SetMsgLanguage(value); }
  TFont* GetPreviewFont() { return GetDadirAvProc()->GetPreviewFont(); }
  void SetPreviewFont(TFont* font) { GetDadirAvProc()->SetPreviewFont(font); }
  bool GetStreamHeaders() { return GetDadirAvIO()->StreamHeaders; }
  void SetStreamHeaders(bool value) { GetDadirAvIO()->StreamHeaders = value; }
  TIEDialogsMeasureUnit GetDialogsMeasureUnit() { return GetDadirAvIO()->DialogsMeasureUnit; }
  void SetDialogsMeasureUnit(TIEDialogsMeasureUnit value) {
    GetDadirAvIO()->DialogsMeasureUnit = value;
  }
  TIOParamsVals* GetIOParams() { return GetDadirAvIO()->GetParams(); }
  bool GetAborting() { return GetDadirAvIO()->GetAborting(); }
  void SetAborting(bool value) { GetDadirAvIO()->SetAborting(value); }
  TIELocation GetUndoLocation() { return GetDadirAvProc()->GetUndoLocation(); }
  void SetUndoLocation(TIELocation value) { GetDadirAvProc()->SetUndoLocation(value); }
  Integer GetUndoLimit() { return GetDadirAvProc()->GetUndoLimit(); }
  void SetUndoLimit(Integer value) { GetDadirAvProc()->SetUndoLimit(value); }

  // --- Input/output: loads and saves by name, stream and format
  virtual void LoadFromFile(const AnsiString& fileName) { GetDadirAvIO()->LoadFromFile(fileName); }
  virtual void SaveToFile(const AnsiString& fileName) { GetDadirAvIO()->SaveToFile(fileName); }
  virtual void ParamsFromFile(const AnsiString& fileName) { GetDadirAvIO()->ParamsFromFile(fileName); }
  virtual void ParamsFromStream(TStream* stream) { GetDadirAvIO()->ParamsFromStream(stream); }
  virtual void ParamsFromFileFormat(const AnsiString& fileName, Integer fileType) {
    GetDadirAvIO()->ParamsFromFileFormat(fileName, fileType);
  }
  virtual void ParamsFromStreamFormat(TStream* stream, Integer fileType) {
    GetDadirAvIO()->ParamsFromStreamFormat(stream, fileType);
  }

#define LARK_FORWARD(component, name)                       \
  template <class... Args>                                  \
  auto name(Args&&... args) {                               \
    return component()->name(std::forward<Args>(args)...);  \
  }
  LARK_FORWARD(GetDadirAvIO, LoadFromFileFormat)
  LARK_FORWARD(GetDadirAvIO, LoadFromStream)
  LARK_FORWARD(GetDadirAvIO, LoadFromStreamFormat)
  LARK_FORWARD(GetDadirAvIO, SaveToStream)
  LARK_FORWARD(GetDadirAvIO, LoadFromURL)
  LARK_FORWARD(GetDadirAvIO, LoadFromFileJpeg)
  LARK_FORWARD(GetDadirAvIO, SaveToFileJpeg)
  LARK_FORWARD(GetDadirAvIO, LoadFromStreamJpeg)
  LARK_FORWARD(GetDadirAvIO, SaveToStreamJpeg)
  LARK_FORWARD(GetDadirAvIO, LoadFromFileGif)
  LARK_FORWARD(GetDadirAvIO, SaveToFileGif)
  LARK_FORWARD(GetDadirAvIO, InsertToFileGif)
  LARK_FORWARD(GetDadirAvIO, LoadFromStreamGif)
  LARK_FORWARD(GetDadirAvIO, SaveToStreamGif)
  LARK_FORWARD(GetDadirAvIO, LoadFromFilePCX)
  LARK_FORWARD(GetDadirAvIO, SaveToFilePCX)
  LARK_FORWARD(GetDadirAvIO, LoadFromStreamPCX)
  LARK_FORWARD(GetDadirAvIO, SaveToStreamPCX)
  LARK_FORWARD(GetDadirAvIO, LoadFromFileTIFF)
  LARK_FORWARD(GetDadirAvIO, SaveToFileTIFF)
  LARK_FORWARD(GetDadirAvIO, InsertToFileTIFF)
  LARK_FORWARD(GetDadirAvIO, LoadFromStreamTIFF)
  LARK_FORWARD(GetDadirAvIO, SaveToStreamTIFF)
  LARK_FORWARD(GetDadirAvIO, LoadFromFileBMP)
  LARK_FORWARD(GetDadirAvIO, SaveToFileBMP)
  LARK_FORWARD(GetDadirAvIO, LoadFromStreamBMP)
  LARK_FORWARD(GetDadirAvIO, SaveToStreamBMP)
  LARK_FORWARD(GetDadirAvIO, LoadFromFileICO)
  LARK_FORWARD(GetDadirAvIO, LoadFromStreamICO)
  LARK_FORWARD(GetDadirAvIO, LoadFromFileCUR)
  LARK_FORWARD(GetDadirAvIO, LoadFromStreamCUR)
  LARK_FORWARD(GetDadirAvIO, LoadFromFilePNG)
  LARK_FORWARD(GetDadirAvIO, SaveToFilePNG)
  LARK_FORWARD(GetDadirAvIO, LoadFromStreamPNG)
  LARK_FORWARD(GetDadirAvIO, SaveToStreamPNG)
  LARK_FORWARD(GetDadirAvIO, LoadFromFileTGA)
  LARK_FORWARD(GetDadirAvIO, SaveToFileTGA)
  LARK_FORWARD(GetDadirAvIO, LoadFromStreamTGA)
  LARK_FORWARD(GetDadirAvIO, SaveToStreamTGA)
  LARK_FORWARD(GetDadirAvIO, LoadFromFilePXM)
  LARK_FORWARD(GetDadirAvIO, SaveToFilePXM)
  LARK_FORWARD(GetDadirAvIO, LoadFromStreamPXM)
  LARK_FORWARD(GetDadirAvIO, SaveToStreamPXM)
  LARK_FORWARD(GetDadirAvIO, ImportMetafile)
  LARK_FORWARD(GetDadirAvIO, MergeMetafile)
  LARK_FORWARD(GetDadirAvIO, CaptureFromScreen)
  LARK_FORWARD(GetDadirAvIO, Acquire)
  LARK_FORWARD(GetDadirAvIO, SelectAcquireSource)
  LARK_FORWARD(GetDadirAvIO, PrintImagePosEx)
  LARK_FORWARD(GetDadirAvIO, PrintImagePos)
  LARK_FORWARD(GetDadirAvIO, PrintImageEx)
  LARK_FORWARD(GetDadirAvIO, PrintImage)
  LARK_FORWARD(GetDadirAvIO, PreviewPrintImage)
  LARK_FORWARD(GetDadirAvIO, DoPrintPreviewDialog)
  LARK_FORWARD(GetDadirAvIO, InjectJpegIPTC)
  LARK_FORWARD(GetDadirAvIO, InjectJpegIPTCStream)

  // --- Processing. Clear is the processing component's (with an undo entry under
  // AutoUndo), not the view's own.
  void Clear() { GetDadirAvProc()->Clear(); }
  virtual void SaveUndo(TIEUndoSource source = ieuImage) { GetDadirAvProc()->SaveUndo(source); }
  virtual void Undo() { GetDadirAvProc()->Undo(); }
  virtual void UndoAt(Integer i) { GetDadirAvProc()->UndoAt(i); }
  LARK_FORWARD(GetDadirAvProc, ClearUndo)
  LARK_FORWARD(GetDadirAvProc, GetCanUndo)
  LARK_FORWARD(GetDadirAvProc, GetUndoCount)
  LARK_FORWARD(GetDadirAvProc, SetUndoCaptions)
  LARK_FORWARD(GetDadirAvProc, GetUndoCaptions)
  LARK_FORWARD(GetDadirAvProc, SaveUndoCaptioned)
  LARK_FORWARD(GetDadirAvProc, Negative)
  LARK_FORWARD(GetDadirAvProc, HSLvar)
  LARK_FORWARD(GetDadirAvProc, HSVvar)
  LARK_FORWARD(GetDadirAvProc, IntensityRGBall)
  LARK_FORWARD(GetDadirAvProc, Contrast)
  LARK_FORWARD(GetDadirAvProc, ApplyFilter)
  LARK_FORWARD(GetDadirAvProc, ApplyFilterPreset)
  LARK_FORWARD(GetDadirAvProc, ConvertToGray)
  LARK_FORWARD(GetDadirAvProc, CastColorRange)
  LARK_FORWARD(GetDadirAvProc, Rotate)
  LARK_FORWARD(GetDadirAvProc, Flip)
  LARK_FORWARD(GetDadirAvProc, ImageResize)
  LARK_FORWARD(GetDadirAvProc, Resample)
  LARK_FORWARD(GetDadirAvProc, SelCopyToClip)
  LARK_FORWARD(GetDadirAvProc, CopyToClipboard)
  LARK_FORWARD(GetDadirAvProc, PasteFromClipboard)
  LARK_FORWARD(GetDadirAvProc, SelCutToClip)
  LARK_FORWARD(GetDadirAvProc, Merge)
  LARK_FORWARD(GetDadirAvProc, Threshold)
  LARK_FORWARD(GetDadirAvProc, HistEqualize)
  LARK_FORWARD(GetDadirAvProc, HistAutoEqualize)
  LARK_FORWARD(GetDadirAvProc, ClearSel)
  LARK_FORWARD(GetDadirAvProc, ConvertTo)
  LARK_FORWARD(GetDadirAvProc, CropSel)
  LARK_FORWARD(GetDadirAvProc, BumpMapping)
  LARK_FORWARD(GetDadirAvProc, GetHistogram)
  LARK_FORWARD(GetDadirAvProc, CalcImagePalette)
  LARK_FORWARD(GetDadirAvProc, CalcImageNumColors)
  LARK_FORWARD(GetDadirAvProc, GetHSVChannel)
  LARK_FORWARD(GetDadirAvProc, GetHSVChannelAll)
  LARK_FORWARD(GetDadirAvProc, GetRGBChannel)
  LARK_FORWARD(GetDadirAvProc, GetRGBChannelAll)
  LARK_FORWARD(GetDadirAvProc, ConvertToBWOrdered)
  LARK_FORWARD(GetDadirAvProc, ConvertToBWThreshold)
  LARK_FORWARD(GetDadirAvProc, ConvertTo24Bit)
  LARK_FORWARD(GetDadirAvProc, Lens)
  LARK_FORWARD(GetDadirAvProc, Wave)
  LARK_FORWARD(GetDadirAvProc, WriteHiddenText)
  LARK_FORWARD(GetDadirAvProc, WriteHiddenData)
  LARK_FORWARD(GetDadirAvProc, ReadHiddenText)
  LARK_FORWARD(GetDadirAvProc, ReadHiddenData)
  LARK_FORWARD(GetDadirAvProc, GetHiddenDataSpace)
  LARK_FORWARD(GetDadirAvProc, Maximum)
  LARK_FORWARD(GetDadirAvProc, Minimum)
  LARK_FORWARD(GetDadirAvProc, Opening)
  LARK_FORWARD(GetDadirAvProc, Closing)
  LARK_FORWARD(GetDadirAvProc, EdgeDetect_ShenCastan)
#undef LARK_FORWARD
};
