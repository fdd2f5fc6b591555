// A libjpeg data destination that writes through a CFileStream, 4096 bytes
// at a time. A short write raises the library's JERR_FILE_WRITE through the
// compressor's error manager.
#pragma once

struct jpeg_compress_struct;
class CFileStream;

extern "C" {
// Installs the destination on `cinfo` (made once per compressor, from its
// permanent pool) and binds it to `file`.
void jpeg_file_dest(jpeg_compress_struct* cinfo, CFileStream* file);
// The same destination without a stream: every write fails.
void jpeg_unbound_file_dest(jpeg_compress_struct* cinfo);
// CFileStream::Write and Read; a null stream fails with -1.
int jpeg_file_write(CFileStream* file, const void* data, int count);
int jpeg_file_read(CFileStream* file, void* data, int count);
}
