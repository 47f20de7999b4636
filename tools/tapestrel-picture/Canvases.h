#pragma once

#include <QtGlobal>

#include <sys/types.h>

#include <cstddef>
#include <vector>

// The canvases the process draws pictures on (see PictureProtocol): for each picture the one that the
// program lends where it is large enough, else a new one, which goes to the program with the picture.
// The process keeps a few canvases mapped, as the program mostly lends back those it drew on before:
// mapping one anew costs the system a fault for each page.
class Canvases
{
public:
    Canvases() = default;
    Canvases(const Canvases &) = delete;
    Canvases &operator=(const Canvases &) = delete;
    ~Canvases();

    // Takes the canvas that the program lends for the next picture (`descriptor`, which is closed here;
    // -1: none).
    void lend(int descriptor);
    // Memory for a picture of `bytes` at the start of a canvas: the one that the last call gave or the
    // lent one when large enough, else a new one; null when there is no memory for it.
    uchar *reserve(size_t bytes);
    // The start of the canvas that reserve() gave last (null before).
    const uchar *data() const;
    // The descriptor to hand over with the picture: the canvas's when it is new, -1 when it was lent.
    int handedOver() const { return m_newFile; }
    // Ends the picture: lets go of its descriptors, and of mappings past the few kept.
    void finish();

private:
    struct Mapping
    {
        dev_t device = 0;
        ino_t inode = 0;
        uchar *data = nullptr;
        size_t size = 0;
    };
    Mapping *find(dev_t device, ino_t inode);
    void drop(const uchar *data);

    std::vector<Mapping> m_mapped; // the most recently used last
    const uchar *m_lent = nullptr;
    const uchar *m_current = nullptr;
    int m_newFile = -1;
};
