#pragma once
// What one run does, fixed when it starts: the overlay and where it goes, the output folder,
// format and names, and how the pictures are worked through. Built once, from the windowed
// program's job or from the command line, and only read afterwards: every thread of a run may
// read it at once, and a change to the job meanwhile cannot reach a run under way.

#include "engine/OutputFormat.h"
#include "engine/RunChoices.h"
#include "imaging/GdiPlus.h"
#include "imaging/metadata/PictureMetadata.h"

#include <cstdint>
#include <string>

// Running: the job's running number, used up by every item that reaches its name, as the
// windowed batch does. Position: item at place p gets the job's running number + p, whatever
// became of the others, so that parts of one list can run apart without colliding.
enum class Numbering { Running, Position };

// How a run works through its list; the same for every overlay and output.
struct RunOptions {
    // Pictures worked on at once. 1 works each item on the caller's thread in Finish, as a
    // plain loop would.
    int jobs = 1;
    Numbering numbering = Numbering::Running;
    // Names are taken as in a real run, nothing is written.
    bool dryRun = false;
    // Bytes of decoded pictures in flight at once (what their headers say decoding and
    // stamping will take); 0: half the memory this process can still take when the run
    // starts. A picture larger than the budget still runs, alone.
    std::uint64_t memoryBudget = 0;
    // The pictures' records that the outputs keep.
    MetadataKept metadata = MetadataKept::Default;
    // 1-100: JPEG outputs are encoded whole at this quality. 0: a JPEG photograph written
    // as JPEG keeps every block the mark does not touch, and its own tables for the rest.
    int jpegQuality = 0;
    // TIFF outputs are written uncompressed, whatever their pictures' coding.
    bool uncompressedTiff = false;
    // Each copy records which picture it was made from, and how (CopyRecord), and a copy that
    // records another picture is replaced only when replaceOtherCopies: such an item fails its
    // save instead. The windowed program keeps neither, and replaces what has the name.
    bool recordSource = false;
    bool replaceOtherCopies = true;
};

class CBatchJob;

class RunSettings {
  public:
    // Looks the output format up once, among the installed ones.
    RunSettings(RunChoices choices, RunOptions options);
    // The job's choices as they stand now.
    static RunSettings FromJob(const CBatchJob& job, RunOptions options = {});

    const RunChoices& Choices() const { return m_choices; }
    const RunOptions& Options() const { return m_options; }
    const std::string& OverlayPath() const { return m_choices.overlayPath; }
    const std::string& OutputDir() const { return m_choices.outputDir; }

    // The output encoder, or null when no encoder has that MIME type (outputs are not
    // written), and its position in the library's list (-1 then).
    const CLSID* Encoder() const { return m_format != nullptr ? &m_format->Encoder() : nullptr; }
    int EncoderPosition() const { return m_format != nullptr ? m_format->Position() : -1; }
    // The encoder's file extension without the dot, letter case kept ("TIF"); empty without one.
    const std::string& Extension() const;

    // folder/name.ext for number; empty when the path would not fit into room bytes with its
    // terminator (a cut path would name a different file).
    std::string OutputPath(std::int32_t number, std::size_t room = MAX_PATH) const;
    // folder/name.ext for a copy with a name of its own (PipelineItem::name).
    std::string NamedOutputPath(const std::string& name, std::size_t room = MAX_PATH) const;
    // Where the name starts in OutputPath's paths.
    std::size_t NameStart() const;

  private:
    const RunChoices m_choices;
    const RunOptions m_options;
    // One of OutputFormat::Installed(), which outlives every run; null when none has the MIME
    // type.
    const OutputFormat* m_format;
};
