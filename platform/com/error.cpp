// placeholder until the object layer lands
namespace com {}
