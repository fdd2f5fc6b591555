// Walking the shell namespace: CShellItemEnum lists the items of one shell
// folder and keeps the absolute item-ID list of its current item; CShellItem
// keeps one item (list, attributes, name, path) after the enumerator moved
// on.
//
// An enumerator's list buffer holds the folder's own absolute list (the
// prefix), then the current child's ID, then four zero bytes.
#pragma once

#include <cstdint>

#include "platform/shellns.h"
#include "platform/types.h"

// Sizes of the output buffers of the questions below, terminator included.
inline constexpr int SHELLITEM_NAME_SIZE = 256;
inline constexpr int SHELLITEM_PATH_SIZE = 260;
inline constexpr int SHELLITEM_TYPE_SIZE = 80;

inline constexpr DWORD SHELLITEM_FILESYSTEM = SYS_SFGAO_FILESYSTEM;
inline constexpr DWORD SHELLITEM_FOLDER = SYS_SFGAO_FOLDER;
inline constexpr DWORD SHELLITEM_LINK = SYS_SFGAO_LINK;

class CShellItemEnum {
 public:
  CShellItemEnum();
  explicit CShellItemEnum(int csidl);                    // OpenSpecial
  explicit CShellItemEnum(const CShellItemEnum& parent);  // OpenChild
  ~CShellItemEnum();
  CShellItemEnum& operator=(const CShellItemEnum&) = delete;

  // Back to empty; whether the shared desktop folder is available.
  bool Reset();
  // Opens a special folder (SYS_CSIDL_*) before its first item.
  bool OpenSpecial(int csidl);
  // Opens the parent's current item, which must be a folder.
  bool OpenChild(const CShellItemEnum& parent);
  // Moves to the next item; false after the last (the previous item's list
  // stays in the buffer) or when nothing is open.
  bool Next();

  // Questions about the current item; outputs are emptied on failure.
  bool GetDisplayName(char* out) const;  // SHELLITEM_NAME_SIZE
  bool GetPath(char* out) const;         // SHELLITEM_PATH_SIZE, file-system items
  bool GetLinkTarget(char* out) const;   // SHELLITEM_PATH_SIZE, links
  bool GetTypeName(char* out) const;     // SHELLITEM_TYPE_SIZE
  int GetIconIndex(uint32_t flags) const;
  // Puts a one-ID child list behind the prefix as the current item and
  // frees it; false (the list freed all the same) when memory runs out.
  bool AppendItem(BYTE* childList);

  DWORD Attributes() const { return attributes_; }
  const CShellItemEnum* Parent() const { return parent_; }
  uint32_t Capacity() const { return capacity_; }
  uint32_t PrefixLength() const { return prefixLength_; }
  // The absolute list of the current item (the folder's while before the
  // first item); null when empty.
  const BYTE* AbsoluteList() const { return list_; }
  // The current item's ID inside the list buffer; null before the first Next.
  const BYTE* CurrentChild() const { return child_; }
  bool IsOpen() const { return folder_ != nullptr; }

  // Enumerators alive, and whether the shared desktop folder is held.
  static long LiveCount();
  static bool HoldsDesktopFolder();

 private:
  bool SetBuffer(const BYTE* prefix, uint32_t prefixLength, uint32_t capacity);
  bool StartEnumeration();

  const CShellItemEnum* parent_ = nullptr;
  DWORD attributes_ = 0;
  uint32_t capacity_ = 0;
  uint32_t prefixLength_ = 0;
  BYTE* child_ = nullptr;
  BYTE* list_ = nullptr;
  SysEnumIdList* enum_ = nullptr;
  SysShellFolder* folder_ = nullptr;
};

class CShellItem {
 public:
  CShellItem() = default;
  ~CShellItem();
  CShellItem(const CShellItem&) = delete;
  CShellItem& operator=(const CShellItem&) = delete;

  // Takes the enumerator's current item; false (and empty) when it has none.
  bool Assign(const CShellItemEnum& source);
  // Frees list and texts; true.
  bool Clear();
  bool GetPath(char* out) const;      // SHELLITEM_PATH_SIZE
  bool GetTypeName(char* out) const;  // SHELLITEM_TYPE_SIZE
  int GetIconIndex(uint32_t flags) const;

  DWORD Attributes() const { return attributes_; }
  const BYTE* List() const { return list_; }
  // The display name, "" when empty.
  const char* DisplayName() const { return text_ ? text_ : ""; }
  // The stored path of a file-system link (with a trailing '\'), else "".
  const char* LinkPath() const;

 private:
  DWORD attributes_ = 0;
  BYTE* list_ = nullptr;
  char* text_ = nullptr;
};
