#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "kit/icon.h"

class QIODevice;

namespace kit {

// An ordered list of icons that owns its icons and reports every change
// (also an in-place edit of one of its icons) through OnChange. Entries may
// be empty (no icon at all). Icons passed in are copied.
class TIconList {
public:
    TIconList() = default;
    TIconList(const TIconList&) = delete;
    TIconList& operator=(const TIconList&) = delete;
    virtual ~TIconList();

    int Count() const { return static_cast<int>(FEntries.size()); }
    // The entry at Index: an icon, or nullptr for an empty entry.
    TIcon* GetIcon(int Index) const;
    // Copies Icon into the entry at Index; Index == Count appends.
    void SetIcon(int Index, const TIcon& Icon);
    // Appends a copy of Icon (an empty icon for nullptr); returns its index.
    int Add(const TIcon* Icon);
    // Appends the icon file held in the resource (or file) Name.
    int AddFromResource(const QString& Name);
    void Clear();
    void Delete(int Index);
    void Exchange(int Index1, int Index2);
    // Index of that very icon object, or -1.
    int IndexOf(const TIcon* Icon) const;
    void Insert(int Index, const TIcon* Icon);
    void InsertFromResource(int Index, const QString& Name);
    void Move(int FromIndex, int ToIndex);

    void Assign(const TIconList* Source);
    void Assign(const TIcon& Source);

    // The stored form: count, then per entry its size and icon file bytes
    // (size 0 for an empty entry), 32-bit little-endian integers.
    void ReadFromStream(QIODevice& Stream);
    void WriteToStream(QIODevice& Stream) const;
    // Whether the list is written as its owner's "Icons" data, given the
    // ancestor's list (nullptr when there is none).
    bool IsIconsStored(const TIconList* Ancestor) const;

    // Batches changes: one OnChange when the outermost batch closes.
    void HoldChanges() { ++FUpdateCount; }
    void ReleaseChanges();

    std::function<void(TIconList* Sender)> OnChange;

protected:
    virtual void Changed();

private:
    class THeldChanges;
    void CheckIndex(int Index, int Limit) const;
    void InsertOwned(int Index, std::unique_ptr<TIcon>&& Icon);
    static std::unique_ptr<TIcon> CopyOf(const TIcon* Icon);
    static std::unique_ptr<TIcon> LoadResource(const QString& Name);

    std::vector<std::unique_ptr<TIcon>> FEntries;
    int FUpdateCount = 0;
};

}  // namespace kit
