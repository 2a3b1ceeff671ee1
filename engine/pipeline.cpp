#include "pipeline.h"

#include <new>

#include "decoder_stage.h"
#include "output_stage.h"
#include "source_stage.h"

namespace kivo {

std::unique_ptr<Pipeline> Pipeline::create(StageOwner* owner, WindowHandle notifyWindow,
                                           uint32_t number) {
    try {
        std::unique_ptr<Pipeline> pipeline(new Pipeline());
        pipeline->source_ = std::make_unique<SourceStage>(owner);
        pipeline->decoder_ = std::make_unique<DecoderStage>(owner, makePipelineDecoder());
        pipeline->output_ = std::make_unique<OutputStage>(owner, notifyWindow);
        pipeline->source_->setPipeline(number);
        pipeline->decoder_->setPipeline(number);
        pipeline->output_->setPipeline(number);
        pipeline->decoder_->setSource(pipeline->source_.get());
        return pipeline;
    } catch (const std::bad_alloc&) {
        return nullptr;  // refused like a file that cannot be opened
    }
}

Pipeline::~Pipeline() {
    // Each stage stops kicking the next before that one goes; the decoder goes before the
    // source, whose ring it reads and which it kicks.
    if (decoder_) decoder_->setConsumer(nullptr);
    output_.reset();
    if (source_) source_->setConsumer(nullptr);
    if (decoder_) decoder_->pause();
    if (source_) source_->pause();
    decoder_.reset();
    source_.reset();
}

StageResult Pipeline::open(const char* path) {
    try {
        return link(path);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

StageResult Pipeline::link(const char* path) {
    StageResult result = source_->setPath(path);
    if (result != kStageOk) return result;
    ByteRing* sourceRing = nullptr;
    result = source_->start(&sourceRing);
    if (result != kStageOk) return result;
    source_->setConsumer(decoder_.get());
    MarkerRing* pcm = nullptr;
    result = decoder_->open(sourceRing, &pcm);
    if (result != kStageOk) return result;
    decoder_->setConsumer(output_.get());
    output_->setInput(pcm, decoder_.get());
    return kStageOk;
}

void Pipeline::setStartPercent(int32_t percent) {
    decoder_->setStartPercent(percent);
}

void Pipeline::pause() {
    output_->pause();
}

void Pipeline::run() {
    output_->run();
}

}  // namespace kivo
