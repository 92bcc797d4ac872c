// placeholder until shared test helpers land
namespace testsupport {}
