// Paths in canonical form: "." and ".." resolved, relative paths joined to a
// base, paths made relative to a base, and the case every component is
// stored in on the disk. Output sizes count the terminator; the output may
// be an input. Wide twins end in W.
#pragma once

#include "platform/types.h"

// The length written, or -1 (output emptied when size >= 1) when the result
// does not fit or size is below 2. The root (drive with colon, \\server) is
// kept as written; ".." never removes it nor another "..".
int NormalizePath(char* output, const char* input, int size);
int NormalizePathW(wchar16* output, const wchar16* input, int size);
int NormalizePathN(char* output, const char* input, int size, int inputLength);
int NormalizePathNW(wchar16* output, const wchar16* input, int size, int inputLength);
// first and second as one path; a second path with a root of its own stands
// alone.
int NormalizePathJoin(char* output, const char* first, int size, int firstLength, const char* second,
                      int secondLength);
int NormalizePathJoinW(wchar16* output, const wchar16* first, int size, int firstLength, const wchar16* second,
                       int secondLength);
// path resolved against the base directory; a path starting with one
// separator takes the first `keep` components of the base (the root counts
// as one). ".." never climbs above the kept components. Length or -1.
int MakeAbsolutePath(char* output, const char* base, const char* path, int size, int keep);
int MakeAbsolutePathW(wchar16* output, const wchar16* base, const wchar16* path, int size, int keep);
// path relative to the base directory ("..\" for every base component it
// does not share). -1 (output emptied) when the two share no root, fewer
// than `minimum` leading components, or the result does not fit.
int MakeRelativePath(char* output, const char* base, const char* path, int size, int minimum);
int MakeRelativePathW(wchar16* output, const wchar16* base, const wchar16* path, int size, int minimum);
// The full path with every component in its stored case; its length, 0
// when a component is missing, holds a wildcard or the result does not fit.
int GetTrueCasePath(char* output, const char* path, int size);
int GetTrueCasePathW(wchar16* output, const wchar16* path, int size);
