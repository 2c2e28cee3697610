namespace cvm::standin {}
