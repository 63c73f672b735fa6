#pragma once
// The recorder service as the disc master sees it: a disc master object, an enumeration of
// recorders, the recorder itself, the audio (Red Book) staging interface and the progress events.
// Every call answers with an HRESULT-style value; negative values are failures. Backends (libburn,
// the disc-image recorder, the test double) implement these interfaces.

#include <cstdint>
#include <memory>
#include <string>

namespace cdwriter {

using HRESULT = int32_t;

constexpr HRESULT MakeResult(uint32_t value) {
    return static_cast<HRESULT>(value);
}
inline bool Failed(HRESULT hr) {
    return hr < 0;
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeResult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeResult(0x80004002u);
constexpr HRESULT E_POINTER = MakeResult(0x80004003u);
constexpr HRESULT E_FAIL = MakeResult(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057u);

constexpr HRESULT IMAPI_S_PROPERTIESIGNORED = 0x00040200;
constexpr HRESULT IMAPI_S_BUFFER_TO_SMALL = 0x00040201;
constexpr HRESULT IMAPI_E_NOTOPENED = MakeResult(0x8004020Bu);
constexpr HRESULT IMAPI_E_NOTINITIALIZED = MakeResult(0x8004020Cu);
constexpr HRESULT IMAPI_E_USERABORT = MakeResult(0x8004020Du);
constexpr HRESULT IMAPI_E_GENERIC = MakeResult(0x8004020Eu);
constexpr HRESULT IMAPI_E_MEDIUM_NOTPRESENT = MakeResult(0x8004020Fu);
constexpr HRESULT IMAPI_E_MEDIUM_INVALIDTYPE = MakeResult(0x80040210u);
constexpr HRESULT IMAPI_E_DEVICE_NOPROPERTIES = MakeResult(0x80040211u);
constexpr HRESULT IMAPI_E_DEVICE_NOTACCESSIBLE = MakeResult(0x80040212u);
constexpr HRESULT IMAPI_E_DEVICE_NOTPRESENT = MakeResult(0x80040213u);
constexpr HRESULT IMAPI_E_DEVICE_INVALIDTYPE = MakeResult(0x80040214u);
constexpr HRESULT IMAPI_E_INITIALIZE_WRITE = MakeResult(0x80040215u);
constexpr HRESULT IMAPI_E_INITIALIZE_ENDWRITE = MakeResult(0x80040216u);
constexpr HRESULT IMAPI_E_FILESYSTEM = MakeResult(0x80040217u);
constexpr HRESULT IMAPI_E_FILEACCESS = MakeResult(0x80040218u);
constexpr HRESULT IMAPI_E_DISCINFO = MakeResult(0x80040219u);
constexpr HRESULT IMAPI_E_TRACKNOTOPEN = MakeResult(0x8004021Au);
constexpr HRESULT IMAPI_E_TRACKOPEN = MakeResult(0x8004021Bu);
constexpr HRESULT IMAPI_E_DISCFULL = MakeResult(0x8004021Cu);
constexpr HRESULT IMAPI_E_BADJOLIETNAME = MakeResult(0x8004021Du);
constexpr HRESULT IMAPI_E_INVALIDIMAGE = MakeResult(0x8004021Eu);
constexpr HRESULT IMAPI_E_NOACTIVEFORMAT = MakeResult(0x8004021Fu);
constexpr HRESULT IMAPI_E_NOACTIVERECORDER = MakeResult(0x80040220u);
constexpr HRESULT IMAPI_E_WRONGFORMAT = MakeResult(0x80040221u);
constexpr HRESULT IMAPI_E_ALREADYOPEN = MakeResult(0x80040222u);
constexpr HRESULT IMAPI_E_WRONGDISC = MakeResult(0x80040223u);
constexpr HRESULT IMAPI_E_FILEEXISTS = MakeResult(0x80040224u);
constexpr HRESULT IMAPI_E_STASHINUSE = MakeResult(0x80040225u);
constexpr HRESULT IMAPI_E_DEVICE_STILL_IN_USE = MakeResult(0x80040226u);
constexpr HRESULT IMAPI_E_LOSS_OF_STREAMING = MakeResult(0x80040227u);
constexpr HRESULT IMAPI_E_COMPRESSEDSTASH = MakeResult(0x80040228u);
constexpr HRESULT IMAPI_E_ENCRYPTEDSTASH = MakeResult(0x80040229u);
constexpr HRESULT IMAPI_E_NOTENOUGHDISKFORSTASH = MakeResult(0x8004022Au);
constexpr HRESULT IMAPI_E_REMOVABLESTASH = MakeResult(0x8004022Bu);
constexpr HRESULT IMAPI_E_CANNOTWRITETOMEDIA = MakeResult(0x8004022Cu);
constexpr HRESULT IMAPI_E_TRACK_NOT_BIG_ENOUGH = MakeResult(0x8004022Du);
constexpr HRESULT IMAPI_E_BOOTIMAGE_AND_NONBLANK_DISC = MakeResult(0x8004022Eu);

// Recorder type as the recorder reports it.
constexpr long RECORDER_CDR = 1;
constexpr long RECORDER_CDRW = 2;

// Media type values.
constexpr long MEDIA_CDDA_CDROM = 1;
constexpr long MEDIA_CD_ROM_XA = 2;
constexpr long MEDIA_CD_I = 3;
constexpr long MEDIA_CD_EXTRA = 4;
constexpr long MEDIA_CD_OTHER = 5;
constexpr long MEDIA_SPECIAL = 6;

// Media flags (a combination).
constexpr long MEDIA_BLANK = 1;
constexpr long MEDIA_RW = 2;
constexpr long MEDIA_WRITABLE = 4;

// One Red Book audio sector: 588 stereo frames of 16-bit samples, 1/75 s.
constexpr long kAudioBlockSize = 2352;
constexpr long kBlocksPerSecond = 75;
// Two seconds of silence between audio tracks.
constexpr long kTrackGapBlocks = 2 * kBlocksPerSecond;

class IDiscRecorder {
public:
    virtual ~IDiscRecorder() = default;
    virtual HRESULT GetDisplayNames(std::string* vendor, std::string* product, std::string* revision) = 0;
    virtual HRESULT GetRecorderType(long* type) = 0;
    // Every medium operation runs between OpenExclusive and Close.
    virtual HRESULT OpenExclusive() = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT QueryMediaType(long* type, long* flags) = 0;
    virtual HRESULT QueryMediaInfo(uint8_t* sessions, uint8_t* lastTrack, uint32_t* startAddress,
                                   uint32_t* nextWritable, uint32_t* freeBlocks) = 0;
    virtual HRESULT Eject() = 0;
    // Returns when the erase is over.
    virtual HRESULT Erase(bool full) = 0;
};
using RecorderPtr = std::shared_ptr<IDiscRecorder>;

class IEnumDiscRecorders {
public:
    virtual ~IEnumDiscRecorders() = default;
    virtual HRESULT Reset() = 0;
    // S_OK with a recorder, S_FALSE with none at the end, negative on failure.
    virtual HRESULT Next(RecorderPtr* recorder) = 0;
};

class IRedbookDiscMaster {
public:
    virtual ~IRedbookDiscMaster() = default;
    virtual HRESULT CreateAudioTrack(long blocks) = 0;
    virtual HRESULT AddAudioTrackBlocks(const uint8_t* data, long size) = 0;
    virtual HRESULT CloseAudioTrack() = 0;
};

// Data discs are never made; the format exists so that choosing it behaves as it always did.
class IJolietDiscMaster {
public:
    virtual ~IJolietDiscMaster() = default;
};

enum class InterfaceId { Unknown, ProgressEvents };

// Reference counted: whoever keeps the pointer holds a reference.
class IDiscMasterProgressEvents {
public:
    virtual HRESULT QueryInterface(InterfaceId id, void** object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    virtual HRESULT QueryCancel(bool* cancel) = 0;
    virtual HRESULT NotifyPnPActivity() = 0;
    virtual HRESULT NotifyAddProgress(long completed, long total) = 0;
    virtual HRESULT NotifyBlockProgress(long completed, long total) = 0;
    virtual HRESULT NotifyTrackProgress(long current, long total) = 0;
    virtual HRESULT NotifyPreparingBurn(long seconds) = 0;
    virtual HRESULT NotifyClosingDisc(long seconds) = 0;
    virtual HRESULT NotifyBurnComplete(HRESULT status) = 0;
    virtual HRESULT NotifyEraseComplete(HRESULT status) = 0;

protected:
    ~IDiscMasterProgressEvents() = default;
};

enum class DiscFormat { None, Joliet, Redbook };

class IDiscMaster {
public:
    virtual ~IDiscMaster() = default;
    virtual HRESULT Open() = 0;
    virtual HRESULT GetActiveDiscMasterFormat(DiscFormat* format) = 0;
    virtual HRESULT SetActiveRedbookFormat(std::shared_ptr<IRedbookDiscMaster>* master) = 0;
    virtual HRESULT SetActiveJolietFormat(std::shared_ptr<IJolietDiscMaster>* master) = 0;
    virtual HRESULT EnumDiscRecorders(std::shared_ptr<IEnumDiscRecorders>* recorders) = 0;
    virtual HRESULT SetActiveDiscRecorder(const RecorderPtr& recorder) = 0;
    // The master holds a reference to the events between advise and unadvise.
    virtual HRESULT ProgressAdvise(IDiscMasterProgressEvents* events, uintptr_t* cookie) = 0;
    virtual HRESULT ProgressUnadvise(uintptr_t cookie) = 0;
    // Returns when the disc is written; progress events arrive meanwhile.
    virtual HRESULT RecordDisc(bool simulate, bool ejectAfterBurn) = 0;
    virtual HRESULT Close() = 0;
};

// Makes disc master objects (each user gets its own, with its own staged image).
class IDiscBackend {
public:
    virtual ~IDiscBackend() = default;
    virtual HRESULT CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) = 0;
};

} // namespace cdwriter
