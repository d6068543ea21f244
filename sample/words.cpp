#include "sample/words.h"

#include <initializer_list>

#include "text/fields.h"

namespace sample {
namespace {

// The lists are written in UTF-8 and stored as the data files hold text.
std::string Cp1252(const char* utf8) {
  std::string s(utf8);
  return text::FoldUtf8Latin1(s);
}

std::vector<std::string> Cp1252List(std::initializer_list<const char*> utf8) {
  std::vector<std::string> out;
  for (const char* s : utf8) out.push_back(Cp1252(s));
  return out;
}

Lists MakeLists() {
  Lists w;
  w.male = Cp1252List({
      "João", "José", "Antônio", "Francisco", "Carlos", "Paulo", "Pedro", "Lucas", "Luiz", "Marcos",
      "Luís", "Gabriel", "Rafael", "Daniel", "Marcelo", "Bruno", "Eduardo", "Felipe", "Raimundo",
      "Rodrigo", "Sebastião", "André", "Fernando", "Fábio", "Sérgio", "Vinícius", "Márcio", "Rogério",
      "Otávio", "Cláudio", "Jorge", "Ademar", "Valdir", "Inácio"});
  w.female = Cp1252List({
      "Maria", "Ana", "Francisca", "Antônia", "Adriana", "Juliana", "Márcia", "Fernanda", "Patrícia",
      "Aline", "Sandra", "Camila", "Amanda", "Bruna", "Jéssica", "Letícia", "Júlia", "Luciana",
      "Vanessa", "Mariana", "Conceição", "Cecília", "Lúcia", "Helena", "Beatriz", "Débora", "Mônica",
      "Flávia", "Rosângela", "Tânia", "Inês", "Gláucia"});
  w.surnames = Cp1252List({
      "Silva", "Santos", "Oliveira", "Souza", "Rodrigues", "Ferreira", "Alves", "Pereira", "Lima",
      "Gomes", "Costa", "Ribeiro", "Martins", "Carvalho", "Almeida", "Lopes", "Soares", "Fernandes",
      "Vieira", "Barbosa", "Rocha", "Dias", "Nascimento", "Andrade", "Moreira", "Nunes", "Marques",
      "Machado", "Mendes", "Freitas", "Cardoso", "Ramos", "Gonçalves", "Santana", "Teixeira", "Araújo",
      "Conceição", "Magalhães", "Simões", "Brandão", "Falcão", "Guimarães", "Damásio", "Assunção",
      "Patrício", "Estêvão", "Loureiro", "Sá", "Leão", "Mourão", "Romão", "Antunes", "Prudêncio",
      "Cortês", "Gusmão", "Tavares", "Quintão", "Lacerda", "Müller", "Schäfer"});
  w.streets = Cp1252List({
      "Rua dos Andradas", "Av. Ipiranga", "Rua Voluntários da Pátria", "Av. Assis Brasil",
      "Rua José do Patrocínio", "Av. Protásio Alves", "Rua Padre Chagas", "Rua São Luís",
      "Av. João Pessoa", "Rua Félix da Cunha", "Travessa Açores", "Rua Marechal Floriano",
      "Av. Bento Gonçalves", "Rua Coronel Bordini", "Rua Dr. Timóteo", "Av. Getúlio Vargas"});
  w.districts = Cp1252List({
      "Centro", "Bom Fim", "Menino Deus", "Petrópolis", "Cidade Baixa", "Moinhos de Vento", "Sarandi",
      "Partenon", "Glória", "Tristeza", "São João", "Navegantes", "Jardim Botânico", "Santana"});
  w.professions = Cp1252List({
      "Comerciário", "Professora", "Médico", "Engenheiro", "Advogada", "Aposentado", "Estudante",
      "Funcionário Público", "Contador", "Bancário", "Autônomo", "Enfermeira", "Do lar", "Técnico"});
  w.notes = Cp1252List({
      "Sócio desde a fundação.", "Pagamento em débito automático.",
      "Solicitou alteração de endereço.", "Dependente incluído em reunião da diretoria.",
      "Carteira social extraviada; emitida segunda via.", "Mensalidade com desconto de 50% (estudante).",
      "Comunicar ao tesoureiro antes de qualquer cobrança.", "Transferido de outra associação.",
      "Atualizar telefone na próxima visita.", "Isento por decisão da assembléia."});
  w.relations = Cp1252List({
      "Cônjuge", "Companheira", "Pai", "Mãe", "Filho", "Filha", "filho(a)", "pai", "Irmão", "Avó",
      "Sobrinho", "Enteada", "Outro"});
  w.roles = Cp1252List({
      "Secretária", "Tesoureiro", "Zelador", "Recepcionista", "Auxiliar de escritório", "Porteiro"});
  w.donors = Cp1252List({"Doador mensal", "Doação única", "Voluntário", "Patrocínio"});
  w.businesses = Cp1252List({
      "Farmácia", "Clínica", "Padaria", "Livraria", "Ótica", "Academia", "Escola", "Mercado",
      "Laboratório", "Odontologia"});
  w.charges = Cp1252List({
      "Mensalidade social", "Taxa de manutenção", "Jóia de admissão", "Carteirinha", "Aluguel do salão",
      "Escolinha de futebol", "Natação", "Baile de aniversário", "Contribuição extra", "Estacionamento",
      "Armário", "Sauna", "Ginástica", "Excursão"});
  w.banks = Cp1252List({
      "Banco do Brasil S.A.", "Caixa Econômica Federal", "Banrisul", "Banco Itaú S.A.", "Bradesco S.A.",
      "Sicredi", "Unibanco", "Banco Real"});
  w.countries_other = Cp1252List({
      "Argentina", "Uruguai", "Portugal", "Itália", "Alemanha", "Paraguai", "BRAZIL", "Espanha"});
  w.marital = Cp1252List({"Solteiro(a)", "Casado(a)", "Viúvo(a)", "Divorciado(a)"});
  w.cities = {
      {Cp1252("Porto Alegre"), "RS", 51, 90000}, {Cp1252("Canoas"), "RS", 51, 92000},
      {Cp1252("Caxias do Sul"), "RS", 54, 95000}, {Cp1252("Pelotas"), "RS", 53, 96000},
      {Cp1252("Santa Maria"), "RS", 55, 97000}, {Cp1252("Gravataí"), "RS", 51, 94000},
      {Cp1252("Novo Hamburgo"), "RS", 51, 93300}, {Cp1252("São Leopoldo"), "RS", 51, 93000},
      {Cp1252("Passo Fundo"), "RS", 54, 99000}, {Cp1252("Viamão"), "RS", 51, 94400},
      {Cp1252("São Paulo"), "SP", 11, 1000}, {Cp1252("Florianópolis"), "SC", 48, 88000},
      {Cp1252("Curitiba"), "PR", 41, 80000}};
  return w;
}

}  // namespace

const Lists& Words() {
  static const Lists lists = MakeLists();
  return lists;
}

}  // namespace sample
