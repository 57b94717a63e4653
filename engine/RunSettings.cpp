#include "engine/RunSettings.h"

#include "engine/EncoderList.h"
#include "engine/OutputNaming.h"

#include <vector>

RunSettings::RunSettings(RunChoices choices, RunOptions options)
    : m_choices(std::move(choices)), m_options(options) {
    const EncoderList encoders;
    m_position = encoders.Find(m_choices.mimeType.c_str());
    if (m_position < 0)
        return;
    const ImageCodecInfo& codec = encoders[static_cast<UINT>(m_position)];
    m_encoder = codec.Clsid;
    const std::vector<std::string> extensions = EncoderExtensions(codec);
    if (!extensions.empty())
        m_extension = extensions.front();
}

RunSettings RunSettings::FromJob(const CBatchJob& job, RunOptions options) {
    return RunSettings(job.Choices(), options);
}

std::size_t RunSettings::NameStart() const {
    // The root folder, or one given with its slash, takes no second one.
    const std::string& folder = m_choices.outputDir;
    return !folder.empty() && folder.back() == '/' ? folder.size() : folder.size() + 1;
}

std::string RunSettings::OutputPath(std::int32_t number, std::size_t room) const {
    std::string path = m_choices.outputDir;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += FormatOutputName(m_choices.nameTemplate, number);
    path += '.';
    path += m_extension;
    if (path.size() + 1 > room)
        return {};
    return path;
}
