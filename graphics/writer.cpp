#include "graphics/writer.h"

void CImageWriter::Progress(DWORD percent) {
  if (comment.progress == nullptr) return;
  BYTE abort = 0;
  comment.progress(&comment, comment.user, 1, 1, percent, &abort);
  if (abort != 0) ThrowGraphics<EGraphicsAbort>(GraphicsMessage::Abort);
}
