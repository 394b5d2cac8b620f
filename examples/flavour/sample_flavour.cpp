// SampleFlavour: a RIP task variant that differs from the base converter in
// one setup step and one job step.
//
// - Setup end: the base step runs first (plate scales with distortion,
//   output mode); then the flavour adds an item of its own naming itself.
// - Previews: replaced. This flavour's output device makes no previews, so
//   it switches both off whatever the ticket asks, and does not read the
//   ticket's preview keys at all.
//
// Every other step is the base converter's. The placement step is the base
// one; its comment carries the flavour's name: "Added by Kestrel/SampleFlavour
// task".
#include "flavour.h"

class SampleFlavour : public CTicket2Dict_msbasetask {
 public:
  using CTicket2Dict_msbasetask::CTicket2Dict_msbasetask;

 protected:
  std::string getFlavorName() override { return "SampleFlavour"; }

  void AddSetup_end(AT_TTicket& ticket, QX_TDict& options, int filmIndex) override {
    // A failure of the base step travels on as it would without the flavour,
    // and the flavour's item is then not written.
    CTicket2Dict_msbasetask::AddSetup_end(ticket, options, filmIndex);
    AddItemSetup("flavour", ("\"" + getFlavorName() + "\"").c_str(), "Added by the sample flavour");
  }

  void AddJobInfo_previewsOnly(AT_TTicket&, QX_TDict&, int) override {
    AddItemSetup("RGBpreview", "0", "no previews in the sample flavour");
    AddItemSetup("CMYKpreview", "0", "no previews in the sample flavour");
  }
};

T2D_DEFINE_FLAVOUR(SampleFlavour)
