#pragma once

#include <QtGlobal>

#include <sys/types.h>

#include <cstddef>
#include <vector>

// The canvases the process draws pictures on (see PictureProtocol): for each picture the one that the
// program lends where it is large enough, else one the program makes for it when asked. The process
// keeps a few canvases mapped, as the program mostly lends back those it drew on before: mapping one
// anew costs the system a fault for each page. Whatever a canvas held before, the part a picture is
// decoded on starts cleared (transparent), so that what a decoder leaves unwritten shows nothing of an
// earlier picture.
class Canvases
{
public:
    // Canvases asked for on `channel`, the socket to the program.
    explicit Canvases(int channel);
    Canvases(const Canvases &) = delete;
    Canvases &operator=(const Canvases &) = delete;
    ~Canvases();

    // Takes the canvas that the program lends for the next picture (`descriptor`, which is closed here;
    // -1: none).
    void lend(int descriptor);
    // Memory for a picture of `bytes` at the start of a canvas: the one that the last call gave or the
    // lent one when large enough, else a new one that the program makes; null when there is none.
    // `cleared`: those bytes start as 0 (else the caller writes every one of them).
    uchar *reserve(size_t bytes, bool cleared);
    // The start of the canvas that reserve() gave last (null before).
    const uchar *data() const;
    // Which canvas that is, as PictureProtocol::Answer::canvas names it.
    quint32 chosen() const;
    // Ends the picture: lets go of mappings past the few kept.
    void finish();

private:
    struct Mapping
    {
        dev_t device = 0;
        ino_t inode = 0;
        uchar *data = nullptr;
        size_t size = 0;
        bool clear = false; // every byte still 0, as a new canvas comes
    };
    Mapping *find(dev_t device, ino_t inode);
    Mapping *map(int descriptor, bool fresh);
    Mapping *asked(size_t bytes);

    const int m_channel;
    std::vector<Mapping> m_mapped; // the most recently used last
    const uchar *m_lent = nullptr;
    std::vector<const uchar *> m_given; // the canvases asked for during this picture, in order
    const uchar *m_current = nullptr;
};
