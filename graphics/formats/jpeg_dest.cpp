#include "graphics/formats/jpeg_dest.h"

#include <cstddef>
#include <cstdio>

#include "files/stream.h"
#include "graphics/formats/jpeg_lib.h"

namespace {

constexpr int kBufferSize = 4096;

struct FileDestination {
  jpeg_destination_mgr pub;
  CFileStream* file;
  JOCTET* buffer;
};

FileDestination* Destination(j_compress_ptr cinfo) {
  return reinterpret_cast<FileDestination*>(cinfo->dest);
}

void InitDestination(j_compress_ptr cinfo) {
  FileDestination* dest = Destination(cinfo);
  dest->buffer = static_cast<JOCTET*>(
      (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kBufferSize));
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  FileDestination* dest = Destination(cinfo);
  if (jpeg_file_write(dest->file, dest->buffer, kBufferSize) != kBufferSize) {
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kBufferSize;
  return TRUE;
}

// The stream is flushed by whoever owns it.
void TermDestination(j_compress_ptr cinfo) {
  FileDestination* dest = Destination(cinfo);
  const int count = kBufferSize - int(dest->pub.free_in_buffer);
  if (count > 0 && jpeg_file_write(dest->file, dest->buffer, count) != count) {
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
}

}  // namespace

extern "C" {

void jpeg_file_dest(jpeg_compress_struct* cinfo, CFileStream* file) {
  if (cinfo->dest == nullptr || cinfo->dest->init_destination != InitDestination) {
    cinfo->dest = static_cast<jpeg_destination_mgr*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(FileDestination)));
  }
  FileDestination* dest = Destination(cinfo);
  dest->pub.init_destination = InitDestination;
  dest->pub.empty_output_buffer = EmptyOutputBuffer;
  dest->pub.term_destination = TermDestination;
  dest->file = file;
  dest->buffer = nullptr;
}

void jpeg_unbound_file_dest(jpeg_compress_struct* cinfo) {
  jpeg_file_dest(cinfo, nullptr);
}

int jpeg_file_write(CFileStream* file, const void* data, int count) {
  return file != nullptr ? file->Write(data, count) : -1;
}

int jpeg_file_read(CFileStream* file, void* data, int count) {
  return file != nullptr ? file->Read(data, count) : -1;
}

}  // extern "C"
